#include "analysis/group_index.h"

namespace {
const std::vector<uint32_t> kNoPairs;
}  // namespace

uint32_t GroupIndex::intern(const std::string& name) {
    auto it = ids_.find(name);
    if (it != ids_.end()) return it->second;
    const uint32_t id = static_cast<uint32_t>(names_.size());
    names_.push_back(name);
    ids_.emplace(names_.back(), id);
    by_group_.emplace_back();
    by_member_.emplace_back();
    return id;
}

void GroupIndex::add_pair(uint32_t group, uint32_t member) {
    const uint32_t position = static_cast<uint32_t>(group_.size());
    group_.push_back(group);
    member_.push_back(member);
    by_group_[group].push_back(position);
    by_member_[member].push_back(position);
    pairs_.insert(key(member, group));
}

void GroupIndex::append_with_closure(std::vector<GroupPair>& groups, const std::string& group,
                                     const std::string& member) {
    sync(groups);
    const uint32_t g = intern(group);
    const uint32_t m = intern(member);
    groups.push_back(GroupPair{group, member});
    add_pair(g, m);
    // The pass covers the pairs listed now, the new one included; by_group_[m] only grows at its
    // end, so its first `count` entries are exactly those pairs.
    const size_t count = by_group_[m].size();
    for (size_t k = 0; k < count; ++k) {
        const uint32_t derived_member = member_[by_group_[m][k]];
        groups.push_back(GroupPair{group, names_[derived_member]});
        add_pair(g, derived_member);
    }
}

void GroupIndex::sync(const std::vector<GroupPair>& groups) {
    if (groups.size() == group_.size()) return;
    *this = GroupIndex();
    for (const GroupPair& pair : groups)
        add_pair(intern(pair.group), intern(pair.member));
}

uint32_t GroupIndex::id(std::string_view name) const {
    auto it = ids_.find(name);
    return it == ids_.end() ? kNone : it->second;
}

bool GroupIndex::has_pair(uint32_t member, uint32_t group) const {
    if (member == kNone || group == kNone) return false;
    return pairs_.count(key(member, group)) != 0;
}

bool GroupIndex::same_group(std::string_view a, std::string_view b) const {
    if (a == b) return true;
    if (group_.empty()) return false;
    return has_pair(id(a), id(b));
}

uint32_t GroupIndex::first_common_group(std::string_view a, std::string_view b) const {
    const uint32_t ida = id(a);
    const uint32_t idb = id(b);
    if (ida == kNone || idb == kNone) return kNone;
    for (uint32_t position : by_member_[ida]) {
        if (has_pair(idb, group_[position])) return group_[position];
    }
    return kNone;
}

const std::vector<uint32_t>& GroupIndex::pairs_with_member(uint32_t member_id) const {
    return member_id == kNone ? kNoPairs : by_member_[member_id];
}
