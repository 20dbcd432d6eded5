// The group relations of a group file: the ordered list of group/member pairs, closed under
// membership while the file is read, and the indexes that answer the list's first-match queries
// in O(1) or O(matches) instead of scans.
//
// A GroupRelations value is read-only once loaded, and copies share one set of relations, so a
// taxonomy of millions of pairs is loaded once (see GroupFile) and handed to every analysis of a
// run. Loading a second file into a value that already holds pairs appends to a private copy;
// other holders keep what they had.
#ifndef TAVRIN_ANALYSIS_GROUP_RELATIONS_H
#define TAVRIN_ANALYSIS_GROUP_RELATIONS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace tavrin {

class GroupFileChecks;

// One relation of the group file: `member` (a leaf prefix or a subgroup) belongs to `group`.
struct GroupPair {
    std::string group;
    std::string member;
};

// A leaf prefix and how many leaves of a clade carry it.
struct PrefixCount {
    std::string_view prefix;
    std::size_t leaves = 0;
};

// Two leaves joined by a node of their own (a cherry) below a clade's top node, by the places of
// their leaf prefixes in the clade's list of prefixes (PrefixCount), and how many cherries carry
// that pair of prefixes.
struct CherryPrefixes {
    std::size_t first = 0;
    std::size_t second = 0;
    std::size_t cherries = 0;
};

struct NamingRule;

class GroupRelations {
public:
    // Largest closed list accepted from one group file: about 5 GB of pairs and indexes.
    static constexpr std::size_t kMaxPairs = 50000000;

    enum class LoadResult { kLoaded, kUnreadable, kTooLarge };
    // Whether the list keeps the copies of a pair that later lines record again, as the file
    // gives them, or only each pair's first: no answer depends on a later copy, and a file that
    // repeats its lines (a lineage written out for each species) would grow its list with the
    // square of its lines.
    enum class Copies { kKept, kFirstOnly };

    // Appends the pairs of the group file at `path`: whitespace-separated tokens taken two at a
    // time (a final unpaired token pairs with the empty member), each pair followed by its
    // closure: for every pair already recorded whose group is the new member, the new group
    // gains that pair's member. On failure nothing changes. `max_pairs` other than kMaxPairs
    // serves tests of the limit on small files.
    //
    // With `checks`, what the file holds that its writer most likely did not mean is reported
    // there (see analysis/group_file_checks.h).
    LoadResult load(const std::string& path, std::size_t max_pairs = kMaxPairs,
                    tavrin::GroupFileChecks* checks = nullptr, Copies copies = Copies::kKept);

    // The list, in file order with the derived pairs after the line that made them.
    const std::vector<GroupPair>& pairs() const;
    std::size_t size() const { return pairs().size(); }
    bool empty() const { return pairs().empty(); }
    const GroupPair& operator[](std::size_t i) const { return pairs()[i]; }
    std::vector<GroupPair>::const_iterator begin() const { return pairs().begin(); }
    std::vector<GroupPair>::const_iterator end() const { return pairs().end(); }

    // A number that tells the loaded list apart from every other one loaded in the process, the
    // same for copies; 0 while no pair was loaded. What depends on the relations alone may be
    // kept under it.
    std::uint64_t serial() const;

    // Is `a` equal to `b`, or recorded as a member of group `b`?
    bool same_group(std::string_view a, std::string_view b) const;
    // Calls visit(group) once for every group `member` is recorded as a member of (the groups b
    // other than `member` itself for which same_group(member, b) holds), in list order.
    void for_each_group_of(std::string_view member,
                           const std::function<void(std::string_view)>& visit) const;
    // Is `name` the member of some pair and the group of none?
    bool is_member_only(std::string_view name) const;
    // The group of the first pair (list order) with member `a` whose group also has member `b`;
    // empty when there is none.
    std::string lowest_common_group(std::string_view a, std::string_view b) const;
    // The first name that holds every name of `names` (each equal to it or one of its
    // members): `first` itself, else the groups of `first` in list order. Empty when none does.
    std::string first_group_holding_all(std::string_view first,
                                        const std::vector<std::string_view>& names) const;
    // The most specific name that holds a clade of `leaves` leaves by `rule`, the clade's leaf
    // prefixes being `prefixes` (distinct, in the order the leaves first carry them, counts
    // summing to `leaves`) and its cherries below its top node `cherries` (places in
    // `prefixes`). The candidates are the non-empty prefixes in that order, then the groups in
    // the order their first pair stands in the list; a leaf passes a candidate when its prefix
    // equals it or is one of its members. Among the candidates that hold (NamingRule::holds: a
    // candidate that neither leaf of some cherry passes does not), the one that the fewest
    // leaves pass, the earlier on a tie; empty when none holds. A group that holds none of the
    // prefixes is passed by no leaf and never holds, so only the groups of the prefixes are
    // looked at: the cost is linear in the prefixes, the distinct pairs of prefixes of the
    // cherries, and the pairs of the list that have them as member.
    std::string most_specific_holding(const std::vector<PrefixCount>& prefixes, std::size_t leaves,
                                      const NamingRule& rule,
                                      const std::vector<CherryPrefixes>& cherries = {}) const;

    struct Index;  // the list with its indexes, shared by copies

private:
    std::shared_ptr<const Index> index_;  // absent while no pair was loaded
};

// How a clade of two or more leaves is named: by the leaf prefixes of its leaves (each ending at
// the first `separator`) and the groups of `groups`. At purity 1, by a name that every leaf
// passes. Below it (down to just above 0.5), by a name that at least that share of its leaves
// pass and whose other leaves, its strays, are scattered: no clade of two or more leaves inside
// it (the clade itself excepted) is made only of strays. A tree of two-child nodes has such a
// clade exactly when it has a cherry of two strays, so the second test looks at cherries only.
struct NamingRule {
    GroupRelations groups;  // the group relations in force
    char separator = '-';   // a leaf prefix ends at the first separator
    double purity = 1;

    // Whether names may leave strays out: the one place that decides it.
    bool tolerates_strays() const { return purity < 1; }
    // Does a name that `passing` of a clade's `leaves` pass, with `stray_cherries` cherries of
    // two leaves that fail it below the clade's top node, hold the clade? At least the share
    // `purity` of the leaves must pass (the product taken in double precision), and no cherry
    // may be made of strays.
    bool holds(std::size_t passing, std::size_t leaves, std::size_t stray_cherries = 0) const {
        return static_cast<double>(passing) >= purity * static_cast<double>(leaves) &&
               stray_cherries == 0;
    }
};

// The group file of a run, owned by it: loaded before the first tree is analysed, and loaded
// again before a tree when the file changed since (an unchanged file keeps its path, device,
// inode, size, modification time and change time), so that a file rewritten during a long run
// is read anew while an unchanged one is read once.
class GroupFile {
public:
    explicit GroupFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    // Loads the file when it was never loaded or has changed; kLoaded when the relations are
    // current. With `checks`, the file's warnings are reported there when it is read. On
    // failure the relations loaded before are kept.
    GroupRelations::LoadResult refresh(GroupFileChecks* checks = nullptr);
    const GroupRelations& relations() const { return relations_; }
    // How many times the file was read: the relations change only with it.
    std::size_t loads() const { return loads_; }

private:
    std::string path_;
    FileStamp stamp_;
    GroupRelations relations_;
    bool loaded_ = false;
    std::size_t loads_ = 0;
};

// Why the group file at `path` could not be loaded; nothing when it was.
void write_group_file_error(std::ostream& err, GroupRelations::LoadResult load,
                            const std::string& path);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_GROUP_RELATIONS_H
