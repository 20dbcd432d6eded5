#include "analysis/group_relations.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "analysis/group_file_checks.h"
#include "analysis/leaf_matching.h"
#include "output/messages.h"
#include "platform/files.h"
#include "platform/huge_pages.h"

namespace tavrin {

// Names are interned to small ids; pair positions are chained per group and per member in list
// order, and a flat set holds every (member, group) pair.
struct GroupRelations::Index {
    static constexpr uint32_t kNone = UINT32_MAX;
    // A whole taxonomy closes into millions of pairs: the per-pair arrays are large buffers.
    template <typename T>
    using Array = std::vector<T, tavrin::HugePageAllocator<T>>;

    std::vector<GroupPair> pairs;   // the list as the file gave it, with its closure
    std::deque<std::string> names;  // stable storage for the views in ids
    std::unordered_map<std::string_view, uint32_t> ids;
    // Per pair, in list order: its ids, and the next pair with the same group / member.
    Array<uint32_t> group, member, next_same_group, next_same_member;
    // Per name id: first and last pair with that group / member. Only the first copy of a pair
    // is chained: a later copy can never be the first match of a query, nor add a member to a
    // closure pass that the first copy does not already add.
    Array<uint32_t> group_head, group_tail, member_head, member_tail;
    // Per name id: whether the pairs of that group are in the set below while loading (see
    // first_copy). After loading, every pair is.
    Array<uint8_t> group_in_set;

    // Open-addressing set of (member, group) keys: a flat table, since a whole taxonomy closes
    // into millions of pairs.
    Array<uint64_t> slots;
    std::size_t slot_count = 0;
    static constexpr uint64_t kEmpty = UINT64_MAX;  // no pair of two real ids
    uint64_t serial = 0;                            // set when the index is published
    bool keep_copies = true;                        // see GroupRelations::Copies
    // The lines "g m" whose pair was recorded before them (a line read again, most often), by
    // key(m, g), with the last pair of m's chain their pass has met. Without copies, a line met
    // here again meets only the members m gained since (the others would give copies); the
    // checks look at these lines as lines read again.
    std::unordered_map<uint64_t, uint32_t> read_again;

    Index() = default;
    // The views in `ids` point into `names`: a copy would point into the original.
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;

    uint32_t id(std::string_view name) const {
        auto it = ids.find(name);
        return it == ids.end() ? kNone : it->second;
    }

    uint32_t intern(const std::string& name) {
        auto it = ids.find(name);
        if (it != ids.end()) return it->second;
        const uint32_t fresh = static_cast<uint32_t>(names.size());
        names.push_back(name);
        ids.emplace(names.back(), fresh);
        group_head.push_back(kNone);
        group_tail.push_back(kNone);
        member_head.push_back(kNone);
        member_tail.push_back(kNone);
        group_in_set.push_back(0);
        return fresh;
    }

    static void chain(Array<uint32_t>& head, Array<uint32_t>& tail, Array<uint32_t>& next,
                      uint32_t name, uint32_t position) {
        if (tail[name] == kNone) {
            head[name] = position;
        } else {
            next[tail[name]] = position;
        }
        tail[name] = position;
    }

    // Appends (g, m) to the list; only a first copy is chained, and a later one is appended only
    // while copies are kept.
    void add_pair(uint32_t g, uint32_t m, bool first) {
        if (!first && !keep_copies) return;
        const uint32_t position = static_cast<uint32_t>(group.size());
        group.push_back(g);
        member.push_back(m);
        next_same_group.push_back(kNone);
        next_same_member.push_back(kNone);
        if (!first) return;
        chain(group_head, group_tail, next_same_group, g, position);
        chain(member_head, member_tail, next_same_member, m, position);
    }

    // Is (g, m) not recorded yet? A group's pairs go into the set when the group comes back
    // after the line that gave it its first pairs; from then on each of its pairs is looked up.
    // A group seen on one line only (most groups of a taxonomy) costs no lookups at all.
    bool first_copy(uint32_t g, uint32_t m) {
        if (group_head[g] == kNone) return true;
        if (!group_in_set[g]) {
            group_in_set[g] = 1;
            for (uint32_t p = group_head[g]; p != kNone; p = next_same_group[p])
                insert(key(member[p], g));
        }
        return insert(key(m, g));
    }

    void add_checked(uint32_t g, uint32_t m) { add_pair(g, m, first_copy(g, m)); }

    // Records (g, m), then closes the list: for every pair recorded so far (the new one
    // included) whose group is m, records (g, that pair's member). Pairs recorded by the pass
    // are not revisited by it. False once the list has grown past kMaxPairs.
    bool add_with_closure(const std::string& group_name, const std::string& member_name,
                          std::size_t max_pairs) {
        const uint32_t g = intern(group_name);
        const uint32_t m = intern(member_name);
        // A group on its first line holds no pair yet, so the pass can only meet the line's own
        // member again.
        const bool new_group = group_head[g] == kNone;
        const bool first = first_copy(g, m);
        add_pair(g, m, first);
        // The pass covers the chain of pairs with group m up to its present last link (pairs
        // added below only extend chains at their ends). The chain holds each member of m once,
        // in the order of its first pair, so a pass costs one step per pair it appends, and a
        // member the list holds twice is appended once: recording it again would let repeated
        // lines such as "X X" double the list at every line.
        const uint32_t last = group_tail[m];
        last_line = PairLine{0, g, m, last};
        uint32_t from = group_head[m];
        if (!first) {
            const auto [at, first_pass] = read_again.try_emplace(key(m, g), last);
            if (!first_pass && !keep_copies) {
                if (at->second == last) return group.size() <= max_pairs;
                if (at->second != kNone) from = next_same_group[at->second];
            }
            at->second = last;
        }
        for (uint32_t p = from; p != kNone; p = next_same_group[p]) {
            const uint32_t derived = member[p];
            if (new_group) {
                add_pair(g, derived, derived != m);
            } else {
                add_checked(g, derived);
            }
            if (p == last) break;
        }
        return group.size() <= max_pairs;
    }

    // A line of the file that reads "group member", with the last member of that member's
    // chain when the line was read: the members after it came later.
    struct PairLine {
        std::size_t line;
        uint32_t group, member, last_member_seen;
    };
    PairLine last_line{0, kNone, kNone, kNone};  // the pair add_with_closure recorded last

    PairLine last_pair_line(std::size_t line) const {
        PairLine at = last_line;
        at.line = line;
        return at;
    }

    // Reports the members that each line "X G" left out of X: G's members that came after the
    // line and that X never received. Only those after the line are looked at, since the line's
    // closure pass gave X every member G had then: a file written from the smallest groups up
    // costs one step per line. Once per (X, M); never M equal to X.
    void check_lost_members(const std::vector<PairLine>& lines, tavrin::GroupFileChecks& checks) {
        // A group on one line meets each member of its member's chain once: only groups on
        // several lines need the pairs already reported, which a whole taxonomy would make
        // millions of.
        std::vector<uint32_t> lines_of(names.size(), 0);
        for (const PairLine& at : lines)
            ++lines_of[at.group];
        // A line read again (a lineage written out for each species) is checked once, from its
        // last reading: the readings before it gave X every member G had by then.
        struct Readings {
            uint32_t last_member_seen;
            bool checked;
        };
        const auto read_more_than_once = [&](const PairLine& at) {
            return !read_again.empty() && read_again.count(key(at.member, at.group)) != 0;
        };
        std::unordered_map<uint64_t, Readings> readings;
        for (const PairLine& at : lines)
            if (read_more_than_once(at))
                readings[key(at.member, at.group)] = Readings{at.last_member_seen, false};
        std::unordered_set<uint64_t> reported;
        for (const PairLine& at : lines) {
            uint32_t seen = at.last_member_seen;
            Readings* line = nullptr;
            if (read_more_than_once(at)) {
                line = &readings[key(at.member, at.group)];
                if (line->checked) continue;
                seen = line->last_member_seen;
            }
            uint32_t p = seen == kNone ? group_head[at.member] : next_same_group[seen];
            if (p == kNone || checks.line_is_misshapen(at.line)) continue;
            if (line != nullptr) line->checked = true;
            for (; p != kNone; p = next_same_group[p]) {
                const uint32_t m = member[p];
                if (m == at.group || has_pair(m, at.group)) continue;
                if (lines_of[at.group] > 1 && !reported.insert(key(m, at.group)).second) continue;
                checks.lost_member(at.line, names[at.group], names[at.member], names[m]);
            }
        }
    }

    // Brings the pair list and the pair set up to the recorded pairs.
    void publish() {
        // Sized once: a closed taxonomy can hold millions of pairs, and growing step by step
        // would copy them again and again.
        tavrin::reserve_large(pairs, group.size());
        reserve_slots(group.size());
        for (std::size_t p = pairs.size(); p < group.size(); ++p) {
            pairs.push_back(GroupPair{names[group[p]], names[member[p]]});
            insert(key(member[p], group[p]));
        }
    }

    static uint64_t key(uint32_t m, uint32_t g) { return (static_cast<uint64_t>(m) << 32) | g; }

    std::size_t slot(uint64_t k) const {
        // splitmix64's finaliser: every key bit reaches the low bits used as the slot.
        uint64_t h = k;
        h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
        h = (h ^ (h >> 27)) * 0x94D049BB133111EBULL;
        h ^= h >> 31;
        return static_cast<std::size_t>(h) & (slots.size() - 1);
    }

    void reserve_slots(std::size_t count) {
        std::size_t capacity = 64;
        while (capacity < 2 * count)
            capacity *= 2;
        if (capacity <= slots.size()) return;
        Array<uint64_t> old(capacity, kEmpty);
        old.swap(slots);
        slot_count = 0;
        for (uint64_t k : old) {
            if (k != kEmpty) insert(k);
        }
    }

    // Adds `k` to the set; false when it was there already.
    bool insert(uint64_t k) {
        if (2 * (slot_count + 1) > slots.size()) reserve_slots(2 * (slot_count + 1));
        for (std::size_t i = slot(k);; i = (i + 1) & (slots.size() - 1)) {
            if (slots[i] == k) return false;
            if (slots[i] == kEmpty) {
                slots[i] = k;
                ++slot_count;
                return true;
            }
        }
    }

    bool has_pair(uint32_t m, uint32_t g) const {
        if (m == kNone || g == kNone || slots.empty()) return false;
        const uint64_t k = key(m, g);
        for (std::size_t i = slot(k);; i = (i + 1) & (slots.size() - 1)) {
            if (slots[i] == k) return true;
            if (slots[i] == kEmpty) return false;
        }
    }
};

GroupRelations::LoadResult GroupRelations::load(const std::string& path, std::size_t max_pairs,
                                                tavrin::GroupFileChecks* checks, Copies copies) {
    // A directory opens on some systems but yields nothing: it is a file that cannot be read.
    std::string text;
    if (tavrin::stamp_of(path).is_directory || !tavrin::read_file(path, text))
        return LoadResult::kUnreadable;

    // Appending works on a fresh index holding the pairs so far: other holders of the current
    // relations keep them unchanged.
    auto index = std::make_shared<Index>();
    index->keep_copies = copies == Copies::kKept;
    for (const GroupPair& pair : pairs())
        index->add_checked(index->intern(pair.group), index->intern(pair.member));
    // Tokens two at a time: a group, then its member (empty for a final unpaired token).
    tavrin::GroupFileChecks unused;
    tavrin::GroupFileTokens tokens(text, checks != nullptr ? *checks : unused);
    std::vector<Index::PairLine> lines;
    std::string group, member;
    std::size_t group_line = 0, member_line = 0;
    while (tokens.next(group, group_line)) {
        const bool paired = tokens.next(member, member_line);
        if (!paired) member.clear();
        if (!index->add_with_closure(group, member, max_pairs)) return LoadResult::kTooLarge;
        if (!paired) break;
        if (checks != nullptr && group_line == member_line) {
            lines.push_back(index->last_pair_line(group_line));
        }
    }
    index->publish();
    index->serial = next_serial();
    if (checks != nullptr) index->check_lost_members(lines, *checks);
    index->read_again = {};  // needed while loading only
    index_ = std::move(index);
    return LoadResult::kLoaded;
}

uint64_t GroupRelations::serial() const {
    return index_ ? index_->serial : 0;
}

const std::vector<GroupPair>& GroupRelations::pairs() const {
    static const std::vector<GroupPair> none;
    return index_ ? index_->pairs : none;
}

bool GroupRelations::same_group(std::string_view a, std::string_view b) const {
    if (a == b) return true;
    if (!index_) return false;
    return index_->has_pair(index_->id(a), index_->id(b));
}

bool GroupRelations::is_member_only(std::string_view name) const {
    if (!index_) return false;
    const Index& idx = *index_;
    const uint32_t id = idx.id(name);
    return id != Index::kNone && idx.member_head[id] != Index::kNone &&
           idx.group_head[id] == Index::kNone;
}

void GroupRelations::for_each_group_of(std::string_view member,
                                       const std::function<void(std::string_view)>& visit) const {
    if (!index_) return;
    const Index& idx = *index_;
    const uint32_t id = idx.id(member);
    if (id == Index::kNone) return;
    for (uint32_t p = idx.member_head[id]; p != Index::kNone; p = idx.next_same_member[p]) {
        if (idx.group[p] != id) visit(idx.names[idx.group[p]]);
    }
}

std::string GroupRelations::lowest_common_group(std::string_view a, std::string_view b) const {
    if (!index_) return std::string();
    const Index& idx = *index_;
    const uint32_t ida = idx.id(a);
    const uint32_t idb = idx.id(b);
    if (ida == Index::kNone || idb == Index::kNone) return std::string();
    for (uint32_t p = idx.member_head[ida]; p != Index::kNone; p = idx.next_same_member[p]) {
        if (idx.has_pair(idb, idx.group[p])) return idx.names[idx.group[p]];
    }
    return std::string();
}

std::string GroupRelations::first_group_holding_all(
    std::string_view first, const std::vector<std::string_view>& names) const {
    static const Index empty;
    const Index& idx = index_ ? *index_ : empty;
    // A clade of a gene tree holds a few names and its first name belongs to a few groups: the
    // names' ids and the groups tried are kept in this thread's lists, not in fresh ones.
    thread_local std::vector<uint32_t> name_ids, tried;
    name_ids.clear();
    for (std::string_view name : names)
        name_ids.push_back(idx.id(name));
    // Whether `group`, whose id is `group_id`, holds every name.
    auto holds_all = [&](std::string_view group, uint32_t group_id) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] != group && !idx.has_pair(name_ids[i], group_id)) return false;
        }
        return true;
    };

    const uint32_t first_id = idx.id(first);
    if (holds_all(first, first_id)) return std::string(first);
    if (first_id == Index::kNone) return std::string();
    // A group is tried once: in a list until it grows long, then in a set.
    constexpr std::size_t kListed = 32;
    tried.clear();
    std::unordered_set<uint32_t> tried_set;
    auto first_try = [&](uint32_t g) {
        if (tried.size() < kListed) {
            if (std::find(tried.begin(), tried.end(), g) != tried.end()) return false;
            tried.push_back(g);
            return true;
        }
        if (tried_set.empty()) tried_set.insert(tried.begin(), tried.end());
        return tried_set.insert(g).second;
    };
    for (uint32_t p = idx.member_head[first_id]; p != Index::kNone; p = idx.next_same_member[p]) {
        const uint32_t g = idx.group[p];
        if (first_try(g) && holds_all(idx.names[g], g)) return idx.names[g];
    }
    return std::string();
}

std::string GroupRelations::most_specific_holding(
    const std::vector<PrefixCount>& prefixes, std::size_t leaves, const NamingRule& rule,
    const std::vector<CherryPrefixes>& cherries) const {
    static const Index empty;
    const Index& idx = index_ ? *index_ : empty;
    // One tally per candidate that some leaf passes: the prefixes first, at their own places,
    // then the groups met through them, placed after every prefix in list order. `covered`
    // counts the cherries one of whose leaves passes the candidate.
    struct Tally {
        std::size_t passing;
        std::size_t place;
        uint32_t id;
        std::size_t covered;
        std::size_t last_pair;  // the last cherry pair that covered it, plus 1
    };
    std::vector<Tally> tallies;
    tallies.reserve(prefixes.size());
    std::unordered_map<uint32_t, std::size_t> tally_of;  // name id -> its tally
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
        tallies.push_back(Tally{0, i, idx.id(prefixes[i].prefix), 0, 0});
        if (tallies[i].id != Index::kNone) tally_of.emplace(tallies[i].id, i);
    }
    // The tallies each prefix passes, its own first, when cherries are to be checked.
    std::vector<std::size_t> passed;
    std::vector<std::size_t> passed_from;
    if (!cherries.empty()) passed_from.reserve(prefixes.size() + 1);
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
        const std::size_t count = prefixes[i].leaves;
        tallies[i].passing += count;
        if (!cherries.empty()) {
            passed_from.push_back(passed.size());
            passed.push_back(i);
        }
        const uint32_t member = tallies[i].id;
        if (member == Index::kNone) continue;
        // The member chain holds each group of the prefix once.
        for (uint32_t p = idx.member_head[member]; p != Index::kNone; p = idx.next_same_member[p]) {
            const uint32_t g = idx.group[p];
            if (g == member) continue;  // a pair "X X": the prefix counts once
            const auto found = tally_of.emplace(g, tallies.size());
            if (found.second)
                tallies.push_back(Tally{0, prefixes.size() + idx.group_head[g], g, 0, 0});
            tallies[found.first->second].passing += count;
            if (!cherries.empty()) passed.push_back(found.first->second);
        }
    }
    std::size_t cherry_count = 0;
    if (!cherries.empty()) {
        passed_from.push_back(passed.size());
        for (std::size_t c = 0; c < cherries.size(); ++c) {
            const CherryPrefixes& pair = cherries[c];
            cherry_count += pair.cherries;
            for (const std::size_t side : {pair.first, pair.second}) {
                for (std::size_t k = passed_from[side]; k < passed_from[side + 1]; ++k) {
                    Tally& t = tallies[passed[k]];
                    if (t.last_pair == c + 1) continue;  // both leaves pass it: counted once
                    t.last_pair = c + 1;
                    t.covered += pair.cherries;
                }
            }
        }
    }
    const Tally* best = nullptr;
    for (std::size_t k = 0; k < tallies.size(); ++k) {
        const Tally& t = tallies[k];
        if (k < prefixes.size() && prefixes[k].prefix.empty()) continue;
        if (!rule.holds(t.passing, leaves, cherry_count - t.covered)) continue;
        if (best == nullptr || t.passing < best->passing ||
            (t.passing == best->passing && t.place < best->place)) {
            best = &t;
        }
    }
    if (best == nullptr) return std::string();
    const auto k = static_cast<std::size_t>(best - tallies.data());
    return k < prefixes.size() ? std::string(prefixes[k].prefix) : idx.names[best->id];
}

GroupRelations::LoadResult GroupFile::refresh(GroupFileChecks* checks) {
    const FileStamp stamp = stamp_of(path_);
    if (loaded_ && stamp.same_file_state(stamp_)) return GroupRelations::LoadResult::kLoaded;
    GroupRelations loaded;
    // The programs ask only for answers: the list keeps no copies.
    const GroupRelations::LoadResult result =
        loaded.load(path_, GroupRelations::kMaxPairs, checks, GroupRelations::Copies::kFirstOnly);
    if (result != GroupRelations::LoadResult::kLoaded) return result;
    relations_ = std::move(loaded);
    stamp_ = stamp;
    loaded_ = true;
    ++loads_;
    return result;
}

void write_group_file_error(std::ostream& err, GroupRelations::LoadResult load,
                            const std::string& path) {
    switch (load) {
        case GroupRelations::LoadResult::kLoaded:
            return;
        case GroupRelations::LoadResult::kUnreadable:
            err << messages::kCannotOpenGroupFile << path << std::endl;
            return;
        case GroupRelations::LoadResult::kTooLarge:
            err << messages::kGroupFileTooLarge << path << " (" << GroupRelations::kMaxPairs
                << " pairs)" << std::endl;
            return;
    }
}

}  // namespace tavrin
