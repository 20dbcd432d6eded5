#include "analysis/group_index.h"

uint32_t GroupIndex::intern(const std::string& name) {
    auto it = ids_.find(name);
    if (it != ids_.end()) return it->second;
    const uint32_t id = static_cast<uint32_t>(names_.size());
    names_.push_back(name);
    ids_.emplace(names_.back(), id);
    group_head_.push_back(kNone);
    group_tail_.push_back(kNone);
    member_head_.push_back(kNone);
    member_tail_.push_back(kNone);
    seen_in_pass_.push_back(0);
    return id;
}

void GroupIndex::add_pair(uint32_t group, uint32_t member) {
    const uint32_t position = static_cast<uint32_t>(group_.size());
    group_.push_back(group);
    member_.push_back(member);
    next_same_group_.push_back(kNone);
    next_same_member_.push_back(kNone);
    if (group_tail_[group] == kNone) {
        group_head_[group] = position;
    } else {
        next_same_group_[group_tail_[group]] = position;
    }
    group_tail_[group] = position;
    if (member_tail_[member] == kNone) {
        member_head_[member] = position;
    } else {
        next_same_member_[member_tail_[member]] = position;
    }
    member_tail_[member] = position;
}

bool GroupIndex::add_with_closure(const std::string& group, const std::string& member) {
    const uint32_t g = intern(group);
    const uint32_t m = intern(member);
    add_pair(g, m);
    // The pass covers the pairs recorded now, the new one included: the chain of pairs with
    // group m up to its present last link (pairs added below only extend chains at their ends).
    //
    // A member met twice in one pass (the list may hold a pair more than once) is recorded once:
    // the repeat could never be the first match of any query, and recording it would let
    // repeated lines such as "X X" double the list at every line.
    ++pass_;
    const uint32_t last = group_tail_[m];
    for (uint32_t p = group_head_[m]; p != kNone; p = next_same_group_[p]) {
        const uint32_t derived = member_[p];
        if (seen_in_pass_[derived] != pass_) {
            seen_in_pass_[derived] = pass_;
            add_pair(g, derived);
        }
        if (p == last) break;
    }
    return group_.size() <= max_pairs_;
}

void GroupIndex::publish(std::vector<GroupPair>& groups) {
    // Sized once: a closed taxonomy can hold millions of pairs, and growing the list step by
    // step would copy it again and again.
    groups.reserve(group_.size());
    pairs_.reserve(group_.size());
    for (size_t p = groups.size(); p < group_.size(); ++p) {
        groups.push_back(GroupPair{names_[group_[p]], names_[member_[p]]});
        pairs_.insert(key(member_[p], group_[p]));
    }
}

void GroupIndex::sync(const std::vector<GroupPair>& groups) {
    if (groups.size() == group_.size()) return;
    *this = GroupIndex(max_pairs_);
    for (const GroupPair& pair : groups)
        add_pair(intern(pair.group), intern(pair.member));
    pairs_.reserve(group_.size());
    for (size_t p = 0; p < group_.size(); ++p)
        pairs_.insert(key(member_[p], group_[p]));
}

uint32_t GroupIndex::id(std::string_view name) const {
    auto it = ids_.find(name);
    return it == ids_.end() ? kNone : it->second;
}

bool GroupIndex::has_pair(uint32_t member, uint32_t group) const {
    if (member == kNone || group == kNone) return false;
    return pairs_.contains(key(member, group));
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
    for (uint32_t p = member_head_[ida]; p != kNone; p = next_same_member_[p]) {
        if (has_pair(idb, group_[p])) return group_[p];
    }
    return kNone;
}

size_t GroupIndex::PairSet::slot(uint64_t key) const {
    // splitmix64's finaliser: every key bit reaches the low bits used as the slot.
    uint64_t h = key;
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBULL;
    h ^= h >> 31;
    return static_cast<size_t>(h) & (slots_.size() - 1);
}

void GroupIndex::PairSet::reserve(size_t count) {
    size_t capacity = 64;
    while (capacity < 2 * count)
        capacity *= 2;
    if (capacity <= slots_.size()) return;
    std::vector<uint64_t> old(capacity, kEmpty);
    old.swap(slots_);
    size_ = 0;
    for (uint64_t k : old) {
        if (k != kEmpty) insert(k);
    }
}

void GroupIndex::PairSet::insert(uint64_t key) {
    if (2 * (size_ + 1) > slots_.size()) reserve(2 * (size_ + 1));
    for (size_t i = slot(key);; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i] == key) return;
        if (slots_[i] == kEmpty) {
            slots_[i] = key;
            ++size_;
            return;
        }
    }
}

bool GroupIndex::PairSet::contains(uint64_t key) const {
    if (slots_.empty()) return false;
    for (size_t i = slot(key);; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i] == key) return true;
        if (slots_[i] == kEmpty) return false;
    }
}
