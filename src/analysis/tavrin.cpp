// The analysis run: group file, target search, then the sisters or the search's verdict.
#include "analysis/tavrin.h"

#include <iostream>
#include <string>
#include <utility>

#include "analysis/leaf_matching.h"
#include "analysis/messages.h"

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

Tavrin::~Tavrin() = default;

void Tavrin::run(bool with_group_file, const std::string& group_file) {
    rerooted = false;
    null_in_error = false;
    if (with_group_file) {
        groupConfig(group_file);
        if (failure != Failure::kNone) return;
    }
    // The pattern is compiled once, before the search, so an unusable one is reported before
    // any leaf is tested.
    matcher_ = std::make_unique<LeafMatcher>(prefix_, use_regex);
    if (!matcher_->valid()) {
        std::cerr << tavrin::messages::kInvalidPattern << prefix_ << " (" << matcher_->error()
                  << ")" << std::endl;
        failure = Failure::kInvalidPattern;
        return;
    }
    if (tree == nullptr || tree->root == nullptr) return;

    // A search that reroots answers for the old rooting; the rerooted tree is searched again
    // and that answer stands.
    target = all_match(tree->root, prefix_);
    if (rerooted) {
        null_in_error = false;
        target = all_match(tree->root, prefix_);
    }
    sister_count = 0;
    if (target == nullptr) {
        std::cerr << tavrin::messages::kCladeNotFound << std::endl;
    } else if (target == tree->root) {
        std::cerr << tavrin::messages::kTargetIsRoot << std::endl;
    } else {
        get_sisters();
    }
}

void Tavrin::groupConfig(std::string path) {
    switch (groups.load(path)) {
        case GroupRelations::LoadResult::kLoaded:
            return;
        case GroupRelations::LoadResult::kUnreadable:
            std::cerr << tavrin::messages::kCannotOpenGroupFile << path << std::endl;
            failure = Failure::kGroupFileUnreadable;
            return;
        case GroupRelations::LoadResult::kTooLarge:
            std::cerr << tavrin::messages::kGroupFileTooLarge << path << " ("
                      << GroupRelations::kMaxPairs << " pairs)" << std::endl;
            failure = Failure::kGroupFileTooLarge;
            return;
    }
}

bool Tavrin::sameGroup(std::string a, std::string b) const {
    return groups.same_group(a, b);
}

std::string Tavrin::lowest_common_group(std::string a, std::string b) const {
    return groups.lowest_common_group(a, b);
}
