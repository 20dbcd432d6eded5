#include "summary/tally.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <utility>

namespace tavrin::summary {

void make_key(std::string& key, std::string_view label, std::string_view file,
              std::string_view target) {
    key.assign(std::to_string(label.size()));
    key.push_back(':');
    key.append(std::to_string(file.size()));
    key.push_back(':');
    key.append(label);
    key.append(file);
    key.append(target);
}

namespace {

// A report's header line `<file>:` or `<file>:<tree>:` without its ':' (given) and tree number.
std::string_view header_file(std::string_view header) {
    const std::size_t colon = header.find_last_of(':');
    if (colon == std::string_view::npos || colon + 1 == header.size()) return header;
    const std::string_view number = header.substr(colon + 1);
    const bool digits =
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? header.substr(0, colon) : header;
}

}  // namespace

std::size_t Tally::FirstSeen::add(std::string_view name) {
    if (any && name == last) return last_index;
    any = true;
    last.assign(name);
    const auto [at, added] = index.emplace(last, names.size());
    if (added) names.push_back(last);
    last_index = at->second;
    return last_index;
}

void Tally::start_tree(std::string_view header) {
    settle_report_tree();
    ++total_.trees;
    ++report_trees_;
    if (grouping_.by_file) {
        report_file_.assign(header_file(header));
        ++report_trees_by_file_[report_file_];
    }
    current_has_row_ = false;
    report_tree_ = true;
    labels_.add(std::string_view());
    current_group_ = kNoGroup;
    // Without --by target the group is known before the rows.
    if (!grouping_.by_target) enter_group(std::string_view(), report_file_, std::string_view());
}

void Tally::start_table_tree(std::string_view label, std::string_view file,
                             std::string_view target) {
    settle_report_tree();
    ++total_.trees;
    current_has_row_ = false;
    report_tree_ = false;
    labels_.add(label);
    targets_.add(target);
    make_key(key_, grouping_.by_label ? label : std::string_view(),
             grouping_.by_file ? file : std::string_view(), target);
    const std::size_t at = share_keys_.add(key_);
    if (at == table_trees_.size()) table_trees_.push_back(0);
    ++table_trees_[at];
    current_group_ = kNoGroup;
    enter_group(label, file, target);
}

void Tally::end_input() {
    settle_report_tree();
}

const TreeGroup* Tally::group_of(std::string_view label, std::string_view file,
                                 std::string_view target) const {
    if (!grouping_.any()) return groups_.empty() ? nullptr : &groups_.front();
    std::string key;
    make_key(key, grouping_.by_label ? label : std::string_view(),
             grouping_.by_file ? file : std::string_view(),
             grouping_.by_target ? target : std::string_view());
    const auto at = group_keys_.index.find(key);
    return at == group_keys_.index.end() ? nullptr : &groups_[at->second];
}

void Tally::enter_group(std::string_view label, std::string_view file, std::string_view target) {
    if (!grouping_.by_label) label = std::string_view();
    if (!grouping_.by_file) file = std::string_view();
    if (!grouping_.by_target) target = std::string_view();
    // Without --by every tree is in the one group: no key to make.
    if (grouping_.any() || groups_.empty()) {
        make_key(group_key_, label, file, target);
        current_group_ = group_keys_.add(group_key_);
    } else {
        current_group_ = 0;
    }
    if (current_group_ == groups_.size()) {
        groups_.push_back(
            TreeGroup{std::string(label), std::string(target), std::string(file), TreeCounts()});
        group_marks_.push_back(GroupMarks());
    }
    // A report's tree whose rows name several targets is in the group of each.
    GroupMarks& marks = group_marks_[current_group_];
    if (marks.tree == total_.trees) return;
    marks.tree = total_.trees;
    ++groups_[current_group_].counts.trees;
}

void Tally::settle_report_tree() {
    if (total_.trees > 0 && current_group_ == kNoGroup)
        enter_group(std::string_view(), report_file_, std::string_view());
}

void Tally::note_status(TreeStatus status) {
    const auto index = static_cast<std::size_t>(status);
    ++total_.statuses[index];
    if (current_group_ != kNoGroup) ++groups_[current_group_].counts.statuses[index];
}

void Tally::note_strays() {
    ++total_.with_strays;
    if (current_group_ != kNoGroup) ++groups_[current_group_].counts.with_strays;
}

void Tally::count_support(Support support) {
    if (!support.numeric) return;
    const bool fraction = support.value >= 0 && support.value <= 1;
    const bool zero = support.value == 0;
    for (TreeCounts* counts : {&total_, &groups_[current_group_].counts}) {
        ++counts->numeric_supports;
        counts->fraction_supports += fraction ? 1 : 0;
        counts->zero_supports += zero ? 1 : 0;
    }
}

std::size_t Tally::find_or_add(std::size_t target_length) {
    // Pairs of different groups with the same names are different pairs.
    const std::size_t hash =
        std::hash<std::string_view>()(key_) ^ (current_group_ * 0x9E3779B97F4A7C15ULL);
    if (2 * (pairs_.size() + 1) > slots_.size()) grow_slots();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.pair == 0) {
            pairs_.push_back(Pair{keys_.size(), target_length, key_.size() - target_length - 1,
                                  hash, current_group_, 0, 0});
            keys_.append(key_);
            slot = Slot{hash, pairs_.size()};
            return pairs_.size() - 1;
        }
        // A name read from a table may hold a tab: the target's length tells such keys apart.
        const Pair& pair = pairs_[slot.pair - 1];
        if (slot.hash == hash && pair.group == current_group_ &&
            pair.target_length == target_length && key(pair) == key_)
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
    if (total_.trees == 0) return;
    // A report's tree under --by target: each row is in the group of its target.
    if (report_tree_ && grouping_.by_target) enter_group(std::string_view(), report_file_, target);
    targets_.add(target);
    count_support(support);
    if (first_sister_only_ && current_has_row_) return;
    if (!current_has_row_) {
        current_has_row_ = true;
        ++total_.with_sister;
    }
    GroupMarks& marks = group_marks_[current_group_];
    if (marks.with_sister != total_.trees) {
        marks.with_sister = total_.trees;
        ++groups_[current_group_].counts.with_sister;
    }
    key_.assign(target);
    key_.push_back('\t');
    key_.append(sister);
    const std::size_t index = find_or_add(target.size());
    Pair& pair = pairs_[index];
    if (pair.last_tree == total_.trees) return;
    pair.last_tree = total_.trees;
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

std::size_t Tally::share_base(std::size_t group, std::string_view target) const {
    const std::string& label = groups_[group].label;
    const std::string& file = groups_[group].file;
    std::string key;
    make_key(key, label, file, target);
    const auto at = share_keys_.index.find(key);
    const std::size_t tables = at == share_keys_.index.end() ? 0 : table_trees_[at->second];
    // A report's trees have no label and no target until their rows: they count for every pair
    // without a label (of their file under --by file), as when reports alone were read.
    if (!label.empty()) return tables;
    if (!grouping_.by_file) return tables + report_trees_;
    const auto reports = report_trees_by_file_.find(file);
    return tables + (reports == report_trees_by_file_.end() ? 0 : reports->second);
}

std::vector<PairSummary> Tally::summarise(const std::vector<double>& min_support) const {
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
        if (x.group != y.group) return x.group < y.group;
        if (x.trees != y.trees) return x.trees > y.trees;
        if (target(x) != target(y)) return target(x) < target(y);
        return sister(x) < sister(y);
    });

    std::vector<PairSummary> rows;
    rows.reserve(pairs_.size());
    // Pairs in a row mostly share their group and target, and so their share's base.
    std::size_t base = 0;
    for (std::size_t index : order) {
        const Pair& pair = pairs_[index];
        const auto begin = values.begin() + static_cast<std::ptrdiff_t>(first[index]);
        const auto end = values.begin() + static_cast<std::ptrdiff_t>(first[index + 1]);
        const double threshold = min_support[std::min(pair.group, min_support.size() - 1)];
        const auto supported =
            std::count_if(begin, end, [threshold](double value) { return value >= threshold; });
        PairSummary row;
        row.target = target(pair);
        row.sister = sister(pair);
        row.trees = pair.trees;
        row.supported = static_cast<std::size_t>(supported);
        if (begin != end) {
            row.median = median_of(begin, end);
            // The mean of inf and -inf is not a number: no median, as when none is numeric.
            row.has_median = !std::isnan(row.median);
        }
        row.group = pair.group;
        row.label = groups_[pair.group].label;
        row.file = groups_[pair.group].file;
        const bool same_base =
            !rows.empty() && rows.back().group == row.group && rows.back().target == row.target;
        base = same_base ? base : share_base(pair.group, row.target);
        row.share_of = base;
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace tavrin::summary
