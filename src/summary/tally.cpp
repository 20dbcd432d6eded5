#include "summary/tally.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <utility>

namespace tavrin::summary {

void Tally::start_tree() {
    ++tree_count_;
    current_has_row_ = false;
}

std::size_t Tally::find_or_add(std::size_t target_length) {
    const std::size_t hash = std::hash<std::string_view>()(key_);
    if (2 * (pairs_.size() + 1) > slots_.size()) grow_slots();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.pair == 0) {
            pairs_.push_back(
                Pair{keys_.size(), target_length, key_.size() - target_length - 1, hash, 0, 0});
            keys_.append(key_);
            slot = Slot{hash, pairs_.size()};
            return pairs_.size() - 1;
        }
        // A name read from a table may hold a tab: the target's length tells such keys apart.
        const Pair& pair = pairs_[slot.pair - 1];
        if (slot.hash == hash && pair.target_length == target_length && key(pair) == key_)
            return slot.pair - 1;
    }
}

void Tally::grow_slots() {
    std::vector<Slot> slots(slots_.empty() ? 64 : 2 * slots_.size());
    const std::size_t mask = slots.size() - 1;
    for (const Slot& slot : slots_) {
        if (slot.pair == 0) continue;
        std::size_t at = slot.hash & mask;
        while (slots[at].pair != 0)
            at = (at + 1) & mask;
        slots[at] = slot;
    }
    slots_.swap(slots);
}

void Tally::add_row(std::string_view target, std::string_view sister, Support support) {
    if (tree_count_ == 0) return;
    if (support.numeric) {
        if (support.value >= 0 && support.value <= 1)
            ++fraction_supports_;
        else
            non_fraction_support_ = true;
    }
    if (first_sister_only_ && current_has_row_) return;
    if (!current_has_row_) {
        current_has_row_ = true;
        ++trees_with_sister_;
    }
    key_.assign(target);
    key_.push_back('\t');
    key_.append(sister);
    const std::size_t index = find_or_add(target.size());
    Pair& pair = pairs_[index];
    if (pair.last_tree == tree_count_) return;
    pair.last_tree = tree_count_;
    ++pair.trees;
    if (support.numeric) readings_.push_back(Reading{index, support.value});
}

double median_of(std::vector<double>::iterator begin, std::vector<double>::iterator end) {
    const auto count = end - begin;
    const auto middle = begin + count / 2;
    std::nth_element(begin, middle, end);
    const double upper = *middle;
    if (count % 2 == 1) return upper;
    const double lower = *std::max_element(begin, middle);
    if (lower == upper) return upper;
    const double sum = lower + upper;
    // Halve first when the sum alone would overflow.
    if (std::isinf(sum) && std::isfinite(lower) && std::isfinite(upper))
        return lower / 2 + upper / 2;
    return sum / 2;
}

std::vector<PairSummary> Tally::summarise(double min_support) const {
    // The supports grouped by pair (a counting sort): pair i owns values[first[i], first[i + 1]).
    std::vector<std::size_t> first(pairs_.size() + 1, 0);
    for (const Reading& reading : readings_)
        ++first[reading.pair + 1];
    for (std::size_t i = 0; i < pairs_.size(); ++i)
        first[i + 1] += first[i];
    std::vector<double> values(readings_.size());
    {
        std::vector<std::size_t> next(first.begin(), first.end() - 1);
        for (const Reading& reading : readings_)
            values[next[reading.pair]++] = reading.value;
    }

    std::vector<std::size_t> order(pairs_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const Pair& x = pairs_[a];
        const Pair& y = pairs_[b];
        if (x.trees != y.trees) return x.trees > y.trees;
        if (target(x) != target(y)) return target(x) < target(y);
        return sister(x) < sister(y);
    });

    std::vector<PairSummary> rows;
    rows.reserve(pairs_.size());
    for (std::size_t index : order) {
        const Pair& pair = pairs_[index];
        const auto begin = values.begin() + static_cast<std::ptrdiff_t>(first[index]);
        const auto end = values.begin() + static_cast<std::ptrdiff_t>(first[index + 1]);
        const auto supported =
            std::count_if(begin, end, [min_support](double value) { return value >= min_support; });
        PairSummary row{std::string(target(pair)), std::string(sister(pair)), pair.trees,
                        static_cast<std::size_t>(supported)};
        if (begin != end) {
            row.median = median_of(begin, end);
            // The mean of inf and -inf is not a number: no median, as when none is numeric.
            row.has_median = !std::isnan(row.median);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace tavrin::summary
