// Indexes over the ordered group list, so that the list's first-match answers come in O(1) or
// O(matches) instead of scans. Names are interned to small ids; pair positions are kept per
// group and per member in list order.
#ifndef TAVRIN_ANALYSIS_GROUP_INDEX_H
#define TAVRIN_ANALYSIS_GROUP_INDEX_H

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/tavrin.h"

class GroupIndex {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // Appends (group, member) to `groups`, then closes the list under membership: for every
    // pair already listed (the new one included) whose group is `member`, appends
    // (group, that pair's member). Pairs appended by the pass are not revisited by it.
    void append_with_closure(std::vector<GroupPair>& groups, const std::string& group,
                             const std::string& member);

    // Indexes `groups` afresh when it holds pairs this index has not seen.
    void sync(const std::vector<GroupPair>& groups);

    // Id of a name that occurs in the list, or kNone.
    uint32_t id(std::string_view name) const;
    const std::string& name(uint32_t id) const { return names_[id]; }

    // Is there a pair (group, member)? Both are ids.
    bool has_pair(uint32_t member, uint32_t group) const;
    // Is `a` equal to `b` or a recorded member of group `b`?
    bool same_group(std::string_view a, std::string_view b) const;
    // Group id of the first pair (list order) with member `a` whose group also has member `b`.
    uint32_t first_common_group(std::string_view a, std::string_view b) const;
    // Positions of the pairs whose member is `member_id`, in list order.
    const std::vector<uint32_t>& pairs_with_member(uint32_t member_id) const;
    uint32_t group_of_pair(uint32_t pair) const { return group_[pair]; }
    bool empty() const { return group_.empty(); }

private:
    uint32_t intern(const std::string& name);
    void add_pair(uint32_t group, uint32_t member);
    static uint64_t key(uint32_t member, uint32_t group) {
        return (static_cast<uint64_t>(member) << 32) | group;
    }

    std::deque<std::string> names_;  // stable storage for the views in ids_
    std::unordered_map<std::string_view, uint32_t> ids_;
    std::vector<uint32_t> group_, member_;          // per pair, in list order
    std::vector<std::vector<uint32_t>> by_group_;   // name id -> pairs with that group
    std::vector<std::vector<uint32_t>> by_member_;  // name id -> pairs with that member
    std::unordered_set<uint64_t> pairs_;            // (member, group) present in the list
};

#endif  // TAVRIN_ANALYSIS_GROUP_INDEX_H
