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
#include <vector>

#include "analysis/tavrin.h"

class GroupIndex {
public:
    static constexpr uint32_t kNone = UINT32_MAX;
    // Largest closed list accepted from one group file: about 5 GB of pairs and indexes.
    static constexpr size_t kMaxPairs = 50000000;

    // `max_pairs` other than kMaxPairs serves tests of the limit on small files.
    explicit GroupIndex(size_t max_pairs = kMaxPairs) : max_pairs_(max_pairs) {}

    // Records the pair (group, member), then closes the list under membership: for every pair
    // already recorded (the new one included) whose group is `member`, records
    // (group, that pair's member). Pairs recorded by the pass are not revisited by it.
    // Only the index grows; `publish` appends the recorded pairs to the list.
    // False once the list has grown past the limit (the file must then be refused).
    bool add_with_closure(const std::string& group, const std::string& member);
    // Appends to `groups` every pair recorded since the list was last in step with the index.
    void publish(std::vector<GroupPair>& groups);

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
    // Calls `visit(pair position)` for the pairs whose member is `member_id`, in list order,
    // until it returns true.
    template <typename Visit>
    void for_each_pair_with_member(uint32_t member_id, Visit visit) const {
        if (member_id == kNone) return;
        for (uint32_t p = member_head_[member_id]; p != kNone; p = next_same_member_[p]) {
            if (visit(p)) return;
        }
    }
    uint32_t group_of_pair(uint32_t pair) const { return group_[pair]; }
    bool empty() const { return group_.empty(); }

private:
    uint32_t intern(const std::string& name);
    void add_pair(uint32_t group, uint32_t member);
    static uint64_t key(uint32_t member, uint32_t group) {
        return (static_cast<uint64_t>(member) << 32) | group;
    }

    // Open-addressing set of (member, group) keys: a flat table, since a whole taxonomy closes
    // into millions of pairs.
    class PairSet {
    public:
        void insert(uint64_t key);
        void reserve(size_t count);
        bool contains(uint64_t key) const;

    private:
        static constexpr uint64_t kEmpty = UINT64_MAX;  // no pair of two real ids
        size_t slot(uint64_t key) const;
        std::vector<uint64_t> slots_;
        size_t size_ = 0;
    };

    std::deque<std::string> names_;  // stable storage for the views in ids_
    std::unordered_map<std::string_view, uint32_t> ids_;
    // Per pair, in list order: its ids, and the next pair with the same group / member.
    std::vector<uint32_t> group_, member_, next_same_group_, next_same_member_;
    // Per name id: first and last pair with that group / member.
    std::vector<uint32_t> group_head_, group_tail_, member_head_, member_tail_;
    PairSet pairs_;
    size_t max_pairs_;
    // Per name id: the closure pass that last recorded it as a derived member.
    std::vector<uint64_t> seen_in_pass_;
    uint64_t pass_ = 0;
};

#endif  // TAVRIN_ANALYSIS_GROUP_INDEX_H
