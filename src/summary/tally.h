// Counting (target, sister) pairs over the trees of a report: in how many trees each pair
// appears, and the support it had in each of them.
#ifndef TAVRIN_SUMMARY_TALLY_H
#define TAVRIN_SUMMARY_TALLY_H

#include <array>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
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

class Tally {
public:
    // With `first_sister_only`, only the first row of each tree counts (the clade next to the
    // target); the rows after it are ignored.
    explicit Tally(bool first_sister_only = false) : first_sister_only_(first_sister_only) {}

    // A new tree begins; the rows that follow belong to it.
    void start_tree();

    // The current tree has no sister, for the reason a per-tree table gives.
    void note_status(TreeStatus status) { ++status_counts_[static_cast<std::size_t>(status)]; }
    // A per-tree table was read (its trees have statuses to count).
    void note_table() { table_read_ = true; }

    // A row of the current tree. A pair counts once per tree: a repeated row of the same pair
    // in one tree is ignored, so the first row's support stands. Every numeric support counts
    // towards supports_are_fractions(), that of an ignored row too. Rows before the first tree
    // are the reader's error to report; here they are ignored.
    void add_row(std::string_view target, std::string_view sister, Support support);

    std::size_t tree_count() const { return tree_count_; }
    std::size_t trees_with_sister() const { return trees_with_sister_; }
    std::size_t pair_count() const { return pairs_.size(); }
    bool table_read() const { return table_read_; }
    std::size_t status_count(TreeStatus status) const {
        return status_counts_[static_cast<std::size_t>(status)];
    }
    // True when at least one support was a number and every one lay in [0, 1]: fractions.
    bool supports_are_fractions() const { return fraction_supports_ > 0 && !non_fraction_support_; }

    // The table: one entry per pair, by trees (most first), then target, then sister, comparing
    // bytes. Linear in the number of supports on average (the medians are selections).
    std::vector<PairSummary> summarise(double min_support) const;

private:
    struct Pair {
        std::size_t key_offset = 0;  // in keys_
        std::size_t target_length = 0;
        std::size_t sister_length = 0;
        std::size_t hash = 0;
        std::size_t trees = 0;
        std::size_t last_tree = 0;  // 1-based number of the last tree counted; 0 for none
    };
    struct Reading {  // one numeric support of one pair in one tree
        std::size_t pair;
        double value;
    };

    // The index of the pair with this key, made when it is new.
    std::size_t find_or_add(std::size_t target_length);
    void grow_slots();

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
    std::size_t tree_count_ = 0;
    std::size_t trees_with_sister_ = 0;
    bool current_has_row_ = false;
    bool first_sister_only_ = false;
    bool table_read_ = false;
    std::array<std::size_t, kTreeStatusCount> status_counts_{};
    std::size_t fraction_supports_ = 0;  // numeric supports read, all of them in [0, 1] so far
    bool non_fraction_support_ = false;  // a numeric support outside [0, 1] was read
};

// The median of the values (the mean of the two middle ones for an even count); reorders them.
// The range must not be empty.
double median_of(std::vector<double>::iterator begin, std::vector<double>::iterator end);

}  // namespace tavrin::summary

#endif
