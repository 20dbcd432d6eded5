// The analysis run: group file, target search, then the sisters or the search's verdict; the
// search flags, written from what each search returns.
#include "contract/tavrin.h"

#include <iostream>
#include <string>
#include <utility>

#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "output/report.h"

namespace tavrin {

bool rerooted = false;
bool null_in_error = false;

Tavrin::Tavrin(Phylogeny* t, std::string prefix, std::string group_file, bool regex)
    : tree(t), use_regex(regex), prefix_(std::move(prefix)) {
    run(true, group_file);
}

Tavrin::Tavrin(Phylogeny* t, std::string prefix, bool regex)
    : tree(t), use_regex(regex), prefix_(std::move(prefix)) {
    run(false, std::string());
}

void Tavrin::run(bool with_group_file, const std::string& group_file) {
    rerooted = false;
    null_in_error = false;
    if (with_group_file) {
        groupConfig(group_file);
        if (failure != Failure::kNone) return;
    }
    // The pattern is compiled once, before the search, so an unusable one is reported before
    // any leaf is tested.
    AnalysisSettings settings;
    settings.prefix = prefix_;
    settings.use_regex = use_regex;
    settings.groups = groups;
    const Analysis analysis(settings);
    if (!analysis.pattern_error().empty()) {
        write_pattern_error(std::cerr, prefix_, analysis.pattern_error());
        failure = Failure::kInvalidPattern;
        return;
    }
    matcher_ = std::make_shared<const LeafMatcher>(prefix_, use_regex);
    if (tree == nullptr || tree->root == nullptr) return;

    const AnalysisResult result = analyse_tree(*tree, analysis);
    rerooted = result.rerooted;
    null_in_error = result.status == TreeStatus::kNotAClade;
    target = result.target.get();
    sisters = result.sisters;
    sister_count = static_cast<int32_t>(sisters.size());
    write_status_message(std::cerr, result.status);
}

void Tavrin::groupConfig(std::string path) {
    const GroupRelations::LoadResult load = groups.load(path);
    write_group_file_error(std::cerr, load, path);
    if (load == GroupRelations::LoadResult::kUnreadable) failure = Failure::kGroupFileUnreadable;
    if (load == GroupRelations::LoadResult::kTooLarge) failure = Failure::kGroupFileTooLarge;
}

bool Tavrin::sameGroup(std::string a, std::string b) const {
    return groups.same_group(a, b);
}

std::string Tavrin::lowest_common_group(std::string a, std::string b) const {
    return groups.lowest_common_group(a, b);
}

Phylogeny_Node* Tavrin::all_match(Phylogeny_Node* x, std::string prefix) {
    if (!matcher_ || prefix != prefix_) {
        prefix_ = std::move(prefix);
        matcher_ = std::make_shared<const LeafMatcher>(prefix_, use_regex);
    }
    const SearchResult search =
        search_target(tree, x, TargetTest(*matcher_, groups, prefix_, kDefaultSeparator),
                      SearchState{rerooted, null_in_error});
    rerooted = search.state.rerooted;
    null_in_error = search.state.not_a_clade;
    return search.target.get();
}

Phylogeny_Node* Tavrin::whole_tree_by_name(Phylogeny_Node* n, std::string group) const {
    return wholly_in_group(groups, n, group, kDefaultSeparator) ? n : nullptr;
}

std::string Tavrin::print_name_if_same(Phylogeny_Node* n) const {
    return clade_name(groups, n, kDefaultSeparator);
}

void Tavrin::get_sisters() {
    sisters.clear();
    if (tree != nullptr) {
        Sisters found = name_sisters(*tree, target, NamingRule{groups, kDefaultSeparator});
        if (found.fold_parent) fold_parent(*tree, target);
        sisters = std::move(found.names);
    }
    sister_count = static_cast<int32_t>(sisters.size());
}

double Tavrin::bootstrap() const {
    return tree != nullptr ? support_value(*tree, target) : 0;
}

bool Tavrin::bootstrapIsNull() const {
    return tree != nullptr &&
           support_not_applicable(*tree, target, sisters, NamingRule{groups, kDefaultSeparator});
}

AnalysisResult analyse_tree(Phylogeny& tree, const Analysis& analysis) {
    AnalysisResult result = analyse(tree, analysis);
    if (result.folded) fold_parent(tree, result.target);
    return result;
}

void write_rows(std::ostream& out, const Tavrin& analysis, const std::string& prefix) {
    if (analysis.sister_count <= 0) return;
    const SupportCell support{analysis.bootstrap(), !analysis.bootstrapIsNull()};
    write_rows(out, prefix, analysis.sisters, support);
}

}  // namespace tavrin
