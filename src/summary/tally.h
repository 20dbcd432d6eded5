// Counting (target, sister) pairs over the trees of a report: in how many trees each pair
// appears, and the support it had in each of them; the trees counted by group (--by) and by
// what became of them.
#ifndef TAVRIN_SUMMARY_TALLY_H
#define TAVRIN_SUMMARY_TALLY_H

#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "output/table_format.h"

namespace tavrin::summary {

// One line of the summary table.
struct PairSummary {
    std::string target;
    std::string sister;
    std::size_t trees = 0;      // trees with at least one row of the pair
    std::size_t supported = 0;  // of those, trees whose support is at least the threshold
    bool has_median = false;    // false when no tree gave a numeric support, or the median is
                                // not a number (the middle supports inf and -inf)
    double median = 0;          // median of the numeric supports, one per tree
    std::size_t group = 0;      // the index of the pair's group in Tally::groups()
    std::string_view label;     // the group's label under --by label, else empty (held by the
                                // tally's groups)
    std::string_view file;      // the group's file under --by file, else empty (held so too)
    std::size_t share_of = 0;   // the trees the share is taken of: those of the pair's target
                                // (and label under --by label, file under --by file) in
                                // tables, and every tree of a report (of its file under --by
                                // file)
};

// A support field as Tavrin writes it.
struct Support {
    bool numeric = false;  // false for n/a, and for nan, which no comparison or median can use
    double value = 0;
};

// The reasons a per-tree table gives for a tree without a sister, in the order the closing count
// and the page list them.
constexpr TreeStatus kReasonOrder[] = {
    TreeStatus::kUnnamed,  TreeStatus::kNotAClade, TreeStatus::kAmbiguous, TreeStatus::kNoRoot,
    TreeStatus::kNoTarget, TreeStatus::kWholeTree, TreeStatus::kMalformed, TreeStatus::kUnreadable,
};

// What the trees are tallied apart by (--by): the tally, the chart and the closing count are
// given for each group, in the order the groups first appear.
struct Grouping {
    bool by_label = false;
    bool by_target = false;
    bool by_file = false;
    bool any() const { return by_label || by_target || by_file; }
};

// What the trees of a group (or of the whole input) came to.
struct TreeCounts {
    std::size_t trees = 0;
    std::size_t with_sister = 0;
    std::size_t with_strays = 0;  // trees of a table whose sisters were named with strays
    std::array<std::size_t, kTreeStatusCount> statuses{};  // trees without a sister, by reason
    std::size_t numeric_supports = 0;                      // every row's, repeated ones too
    std::size_t fraction_supports = 0;                     // of those, in [0, 1]
    std::size_t zero_supports = 0;                         // of those, 0

    std::size_t status_count(TreeStatus status) const {
        return statuses[static_cast<std::size_t>(status)];
    }
    // At least one support was a number and every one lay in [0, 1]: fractions.
    bool supports_are_fractions() const {
        return numeric_supports > 0 && fraction_supports == numeric_supports;
    }
    // At least one support was a number and every one was 0: the trees carry none.
    bool supports_are_zero() const {
        return numeric_supports > 0 && zero_supports == numeric_supports;
    }
};

struct TreeGroup {
    std::string label;   // under --by label, else empty
    std::string target;  // under --by target, else empty
    std::string file;    // under --by file, else empty
    TreeCounts counts;
};

class Tally {
public:
    // With `first_sister_only`, only the first row of each tree counts (the clade next to the
    // target); the rows after it are ignored.
    explicit Tally(bool first_sister_only = false, Grouping grouping = Grouping())
        : first_sister_only_(first_sister_only), grouping_(grouping) {}

    // A new tree of a report begins, from `file` (its header line without its ':' and tree
    // number); the rows that follow belong to it. It has no label, and its target is that of its
    // rows: under --by target, each row counts in the group of its target, the tree in the group
    // of each target its rows name, and a tree without rows in the group of no target.
    void start_tree(std::string_view header = std::string_view());
    // A new tree of a table begins, with its label, file and target.
    void start_table_tree(std::string_view label, std::string_view file, std::string_view target);
    // Every tree has started: call before groups() and summarise().
    void end_input();

    // The current tree has no sister, for the reason a per-tree table gives.
    void note_status(TreeStatus status);
    // The current tree's sisters were named with leaves outside their names.
    void note_strays();
    // A per-tree table was read (its trees have statuses to count).
    void note_table() { table_read_ = true; }

    // A row of the current tree. A pair counts once per tree: a repeated row of the same pair
    // in one tree is ignored, so the first row's support stands. Every numeric support counts
    // towards the support counts, that of an ignored row too. Rows before the first tree are the
    // reader's error to report; here they are ignored.
    void add_row(std::string_view target, std::string_view sister, Support support);

    std::size_t tree_count() const { return total_.trees; }
    std::size_t trees_with_sister() const { return total_.with_sister; }
    std::size_t pair_count() const { return pairs_.size(); }
    bool table_read() const { return table_read_; }
    std::size_t status_count(TreeStatus status) const { return total_.status_count(status); }
    bool supports_are_fractions() const { return total_.supports_are_fractions(); }
    const TreeCounts& totals() const { return total_; }
    const Grouping& grouping() const { return grouping_; }
    // The groups in the order they first appear: one holding every tree without --by (none for
    // an empty input).
    const std::vector<TreeGroup>& groups() const { return groups_; }
    // The group of this label, file and target (each passed over unless the grouping asks for
    // it), found by its key; null when no tree is in it.
    const TreeGroup* group_of(std::string_view label, std::string_view file,
                              std::string_view target) const;
    // The distinct labels and targets of the trees, in the order they first appear (a tree of a
    // report has the empty label).
    const std::vector<std::string>& labels() const { return labels_.names; }
    const std::vector<std::string>& targets() const { return targets_.names; }

    // The table: one entry per pair, group by group, then by trees (most first), then target,
    // then sister, comparing bytes; a pair's trees are supported at `min_support[group]` of its
    // group (one threshold for every group when a single one is given). Linear in the number of
    // supports on average (the medians are selections).
    std::vector<PairSummary> summarise(const std::vector<double>& min_support) const;

private:
    struct Pair {
        std::size_t key_offset = 0;  // in keys_
        std::size_t target_length = 0;
        std::size_t sister_length = 0;
        std::size_t hash = 0;
        std::size_t group = 0;
        std::size_t trees = 0;
        std::size_t last_tree = 0;  // 1-based number of the last tree counted; 0 for none
    };
    struct Reading {  // one numeric support of one pair in one tree
        std::size_t pair;
        double value;
    };
    // Distinct names in the order they first appear.
    struct FirstSeen {
        std::vector<std::string> names;
        std::unordered_map<std::string, std::size_t> index;
        std::string last;  // the name seen last, found again without hashing
        std::size_t last_index = 0;
        bool any = false;
        std::size_t add(std::string_view name);
    };

    // The index of the pair with this key, made when it is new.
    std::size_t find_or_add(std::size_t target_length);
    void grow_slots();
    // Counts the current tree in the group of this label, file and target (each empty unless
    // the grouping asks for it).
    void enter_group(std::string_view label, std::string_view file, std::string_view target);
    // Counts a report's tree that has not entered a group yet in that of no target.
    void settle_report_tree();
    void count_support(Support support);

    std::string_view key(const Pair& pair) const {
        return std::string_view(keys_).substr(pair.key_offset,
                                              pair.target_length + 1 + pair.sister_length);
    }
    std::string_view target(const Pair& pair) const {
        return std::string_view(keys_).substr(pair.key_offset, pair.target_length);
    }
    std::string_view sister(const Pair& pair) const {
        return std::string_view(keys_).substr(pair.key_offset + pair.target_length + 1,
                                              pair.sister_length);
    }
    // The trees the share of a pair of this target in this group is taken of.
    std::size_t share_base(std::size_t group, std::string_view target) const;
    std::string report_file_;  // the file of the current report's tree (under --by file)

    std::vector<Pair> pairs_;
    // The key of every pair, back to back: target, a tab, sister (with the target's length, unique
    // even when a name holds a tab). One block rather than one string per pair.
    std::string keys_;
    // Open addressing with linear probing over a power-of-two table. A slot holds a pair's hash
    // and index + 1 (0 when free), so most probes need not touch the pair itself.
    struct Slot {
        std::size_t hash = 0;
        std::size_t pair = 0;
    };
    std::vector<Slot> slots_;
    // One per tree and pair, as many as the report has rows: stored in blocks, never copied as
    // they grow.
    std::deque<Reading> readings_;
    std::string key_;  // reused lookup buffer
    bool current_has_row_ = false;
    bool first_sister_only_ = false;
    bool table_read_ = false;
    Grouping grouping_;

    TreeCounts total_;
    std::vector<TreeGroup> groups_;
    FirstSeen group_keys_;  // make_key of each group's label, file and target, by group index
    static constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);
    std::size_t current_group_ = kNoGroup;  // none for a report's tree before its first row
    bool report_tree_ = false;              // the current tree is a report's
    // The last tree (by number, from 1) counted in each group, and with a sister there.
    struct GroupMarks {
        std::size_t tree = 0;
        std::size_t with_sister = 0;
    };
    std::vector<GroupMarks> group_marks_;
    std::string group_key_;  // reused
    FirstSeen labels_, targets_;
    // Trees of tables by make_key of label, file and target (the label under --by label only,
    // the file under --by file only), for the shares; and every tree of a report, which counts
    // for each pair without a label (of its file, under --by file).
    FirstSeen share_keys_;
    std::vector<std::size_t> table_trees_;  // by index of share_keys_
    std::size_t report_trees_ = 0;
    std::unordered_map<std::string, std::size_t> report_trees_by_file_;  // under --by file
};

// A label, a file and a target as one key (into `key`): the lengths of the first two first, so
// that no two sets of names give the same key.
void make_key(std::string& key, std::string_view label, std::string_view file,
              std::string_view target);

// The median of the values (the mean of the two middle ones for an even count); reorders them.
// The range must not be empty.
double median_of(std::vector<double>::iterator begin, std::vector<double>::iterator end);

}  // namespace tavrin::summary

#endif
