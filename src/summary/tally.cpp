#include "summary/tally.h"

#include <algorithm>
#include <cmath>

namespace summary {

void Tally::start_tree() {
    ++tree_count_;
    current_has_row_ = false;
}

void Tally::add_row(std::string_view target, std::string_view sister, bool numeric,
                    double support) {
    if (tree_count_ == 0) return;
    if (!current_has_row_) {
        current_has_row_ = true;
        ++trees_with_sister_;
    }
    key_.assign(target);
    key_.push_back('\t');
    key_.append(sister);
    auto found = index_.find(key_);
    if (found == index_.end()) {
        found = index_.emplace(key_, pairs_.size()).first;
        pairs_.push_back(Pair{std::string(target), std::string(sister), 0, 0, {}});
    }
    Pair& pair = pairs_[found->second];
    if (pair.last_tree == tree_count_) return;
    pair.last_tree = tree_count_;
    ++pair.trees;
    if (numeric) pair.supports.push_back(support);
}

double median_of(std::vector<double>& values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + middle);
    if (lower == upper) return upper;
    const double sum = lower + upper;
    // Halve first when the sum alone would overflow.
    if (std::isinf(sum) && std::isfinite(lower) && std::isfinite(upper))
        return lower / 2 + upper / 2;
    return sum / 2;
}

std::vector<PairSummary> Tally::summarise(double min_support) const {
    std::vector<PairSummary> rows;
    rows.reserve(pairs_.size());
    std::vector<double> scratch;
    for (const Pair& pair : pairs_) {
        PairSummary row;
        row.target = pair.target;
        row.sister = pair.sister;
        row.trees = pair.trees;
        row.supported = static_cast<std::size_t>(
            std::count_if(pair.supports.begin(), pair.supports.end(),
                          [min_support](double value) { return value >= min_support; }));
        if (!pair.supports.empty()) {
            scratch.assign(pair.supports.begin(), pair.supports.end());
            row.has_median = true;
            row.median = median_of(scratch);
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const PairSummary& a, const PairSummary& b) {
        if (a.trees != b.trees) return a.trees > b.trees;
        if (a.target != b.target) return a.target < b.target;
        return a.sister < b.sister;
    });
    return rows;
}

}  // namespace summary
