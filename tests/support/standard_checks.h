// Checks on standard Newick reading, shared by the libFuzzer target fuzz_standard_reader and
// the replay of its seeds in the ordinary build. A check answers "" when every expectation
// holds, or a description of the first one that failed.
#ifndef TAVRIN_TESTS_SUPPORT_STANDARD_CHECKS_H
#define TAVRIN_TESTS_SUPPORT_STANDARD_CHECKS_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "tree/nexus.h"
#include "tree/phylogeny.h"
#include "tree/standard_newick.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

namespace tavrin {

namespace standard_checks {

inline std::string number_text(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// The tree as standard Newick, every name quoted and every value written in full, so that it
// reads back to the same tree. Walks with its own stack.
inline std::string write_standard(const Phylogeny_Node* root) {
    std::string out;
    std::vector<std::pair<const Phylogeny_Node*, int>> stack{{root, 0}};
    while (!stack.empty()) {
        auto& [node, step] = stack.back();
        if (node->is_leaf || step == 2) {
            if (node->is_leaf) {
                out += '\'';
                for (const char c : node->name)
                    out += c == '\'' ? std::string("''") : std::string(1, c);
                out += '\'';
            } else {
                out += ")" + number_text(node->support);
            }
            out += ":" + number_text(node->length);
            stack.pop_back();
            continue;
        }
        out += step == 0 ? "(" : ",";
        const Phylogeny_Node* child = step == 0 ? node->left : node->right;
        ++step;
        stack.push_back({child, 0});
    }
    return out + ";";
}

inline bool values_are_finite(const Phylogeny_Node* root) {
    return tavrin::preorder(root, [](const Phylogeny_Node* n) {
        return std::isfinite(n->support) && std::isfinite(n->length);
    });
}

// What one result of a text is, to compare two readings.
inline std::string result_text(const tavrin::TreeRead& read) {
    if (read.tree != nullptr) return dump(read.tree->root, bits);
    return std::to_string(read.malformed.tree) + "@" + std::to_string(read.malformed.offset) +
           ": " + read.malformed.what;
}

// Is this result the comment or quote that a NEXUS file leaves open outside its statements?
// Always the last result, it is never passed over.
inline bool is_left_open(const std::string& result) {
    const std::size_t colon = result.find(": ");
    if (colon == std::string::npos) return false;
    const std::string what = result.substr(colon + 2);
    return what == tavrin::kCommentNotClosed || what == tavrin::kQuoteNotClosed;
}

// Passing over the first `skip` trees gives the results after them, numbered as they were.
inline std::string check_skipping(const std::string& text, const tavrin::ReadOptions& options,
                                  const std::vector<std::string>& all, std::size_t skip) {
    tavrin::TreeReader reader(text, options);
    const std::size_t skipped = reader.skip(skip);
    // A text without any tree gives its one result however many are passed over.
    const bool none = all.size() == 1 && reader.at_end() == false && skipped == 0;
    std::vector<std::string> rest;
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        rest.push_back(result_text(*read));
        if (rest.size() > all.size()) break;
    }
    std::size_t from = none ? 0 : std::min(skip, all.size());
    // Only in NEXUS, where it is found outside any statement (passing over the statements finds
    // one that standard Newick would read as a tree's own problem).
    if (from == all.size() && skipped + 1 == from && is_left_open(all.back()) &&
        tavrin::is_nexus(text)) {
        from = skipped;
    }
    if (skipped != from && !none) return "skip passed over " + std::to_string(skipped);
    if (rest != std::vector<std::string>(all.begin() + static_cast<long>(from), all.end())) {
        return "the results after passing over " + std::to_string(skip) + " trees differ";
    }
    return "";
}

// Every tree of `text` in standard Newick (or NEXUS): sound links, sensible problems, each tree
// written back (names quoted) reads as the same tree, and passing over trees (1, 2, all of them
// and `burnin`) gives the results after them.
inline std::string check_standard_text(const std::string& text, int support_field,
                                       const std::string& attribute = "", std::size_t burnin = 1) {
    tavrin::ReadOptions options;
    options.dialect = tavrin::Dialect::kStandard;
    options.support_field = support_field;
    options.support_attribute = attribute;
    const size_t most = static_cast<size_t>(std::count(text.begin(), text.end(), ';')) + 1;
    tavrin::TreeReader reader(text, options);
    size_t count = 0;
    std::vector<std::string> all;
    while (std::optional<tavrin::TreeRead> read = reader.next()) {
        if (++count > most) return "more results than the text has ';' plus one";
        all.push_back(result_text(*read));
        if (read->tree == nullptr) {
            const tavrin::Malformed& m = read->malformed;
            if (m.tree != count) return "a problem names tree " + std::to_string(m.tree);
            if (m.offset > text.size()) return "a problem lies past the end of the text";
            if (m.what.empty()) return "a problem without a description";
            continue;
        }
        const Phylogeny_Node* root = read->tree->root;
        const std::string links = tree_check::check_links(root, 2 * text.size() + 2);
        if (!links.empty()) return "tree " + std::to_string(count) + ": " + links;
        if (!values_are_finite(root)) continue;
        // The supports are written as plain numbers: read back from the first field.
        tavrin::ReadOptions plain = options;
        plain.support_field = 1;
        plain.support_attribute.clear();
        tavrin::TreeReader again(write_standard(root), plain);
        std::optional<tavrin::TreeRead> back = again.next();
        if (!back || back->tree == nullptr || !again.at_end()) {
            return "tree " + std::to_string(count) + " written back does not read as one tree";
        }
        if (dump(back->tree->root, bits) != dump(root, bits)) {
            return "tree " + std::to_string(count) + " written back reads as another tree";
        }
    }
    if (!reader.at_end()) return "the reader stopped before the end";
    if (count == 0) return "no result at all";
    const std::optional<std::string>& no_number = reader.attribute_without_number();
    if (no_number && (attribute.empty() || no_number->size() > 3 + text.size())) {
        return "an attribute value without a number noted where none can be";
    }
    for (const std::size_t skip : {std::size_t{1}, std::size_t{2}, count, burnin}) {
        const std::string skipping = check_skipping(text, options, all, skip);
        if (!skipping.empty()) return skipping;
    }
    return "";
}

// The input as it is (standard Newick, or NEXUS when it starts so), read with supports from
// labels (fields 1 and 2) and from the attribute "p"; and, when it is not NEXUS, as the tree
// statements of a NEXUS file with a TRANSLATE table.
inline std::string check_standard_input(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string verdict = check_standard_text(text, 1);
    if (verdict.empty()) verdict = check_standard_text(text, 2);
    if (verdict.empty()) verdict = check_standard_text(text, 1, "p");
    if (verdict.empty() && !tavrin::is_nexus(text)) {
        const std::string nexus =
            "#NEXUS\nbegin trees;\n translate 1 A, 2 'B c', C x;\n tree t = " + text + "\nend;\n";
        verdict = check_standard_text(nexus, 1, "p");
        if (!verdict.empty()) verdict = "as NEXUS: " + verdict;
    }
    return verdict;
}

}  // namespace standard_checks

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_STANDARD_CHECKS_H
