#include <regex>
#include <string>

#include "analysis/group_index.h"
#include "analysis/leaf_matching.h"
#include "analysis/messages.h"
#include "analysis/tavrin.h"

namespace {

// Longest name the backtracking engine is given, and longest pattern compiled (the compiler
// recurses once per element of the pattern). Both keep well inside an 8 MiB stack, also in
// sanitizer builds.
constexpr size_t kMaxBacktrackingName = 2000;
constexpr size_t kMaxPattern = 20000;

bool plain_prefix(std::string_view name, std::string_view prefix) {
    return prefix.size() <= name.size() && name.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

LeafMatcher::LeafMatcher(const std::string& prefix, bool use_regex)
    : prefix_(prefix), use_regex_(use_regex) {
    if (!use_regex_) return;
    if (prefix_.size() > kMaxPattern) {
        error_ = "pattern longer than " + std::to_string(kMaxPattern) + " characters";
        return;
    }
    try {
        // The pattern alone decides validity ("a)|(b" is invalid, though valid once wrapped).
        std::regex(prefix_, std::regex::ECMAScript | std::regex_constants::__polynomial);
        // A search tries every start position, each a pass over the rest of the name: quadratic
        // on long names without a match. An any-prefix wrapper matched from the start only is
        // one linear pass with the same answer.
        regex_ = std::make_unique<std::regex>(
            "[\\s\\S]*?(?:" + prefix_ + ")",
            std::regex::ECMAScript | std::regex_constants::__polynomial);
        anchored_ = true;
    } catch (const std::regex_error& e) {
        if (e.code() != std::regex_constants::error_complexity) {
            error_ = e.what();
            return;
        }
        // Back-references need the backtracking engine.
        try {
            regex_ = std::make_unique<std::regex>(prefix_, std::regex::ECMAScript);
            backtracking_ = true;
        } catch (const std::regex_error& e2) {
            error_ = e2.what();
        }
    }
}

bool LeafMatcher::matches(std::string_view name) const {
    if (!use_regex_) return plain_prefix(name, prefix_);
    if (!regex_) return false;
    if (backtracking_ && name.size() > kMaxBacktrackingName) {
        if (failure_.empty()) {
            failure_ = std::string(tavrin::messages::kNameTooLong) + std::to_string(name.size()) +
                       " characters, at most " + std::to_string(kMaxBacktrackingName) + ")";
        }
        return false;
    }
    auto flags = std::regex_constants::match_any;
    if (anchored_) flags |= std::regex_constants::match_continuous;
    try {
        return std::regex_search(name.begin(), name.end(), *regex_, flags);
    } catch (const std::regex_error& e) {
        // The engine gave up on this name (its own complexity limits).
        if (failure_.empty()) failure_ = std::string("Pattern search failed: ") + e.what();
        return false;
    }
}

bool is_prefix(std::string name, std::string prefix, bool use_regex) {
    const LeafMatcher matcher(prefix, use_regex);
    return matcher.valid() && matcher.matches(name);
}

bool Tavrin::is_target_leaf(const Phylogeny_Node* leaf) const {
    if (matcher_->matches(leaf->name)) return true;
    return index().same_group(leaf_prefix(leaf->name), prefix_);
}

bool Tavrin::passes_group_test(const std::string& leaf_name, const std::string& group) const {
    return index().same_group(leaf_prefix(leaf_name), group);
}
