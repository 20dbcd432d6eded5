// An independent reading of Newick text for tests and fuzzing, written straight from the reading
// rules, to compare the reader against.
#ifndef TAVRIN_TESTS_SUPPORT_REFERENCE_READER_H
#define TAVRIN_TESTS_SUPPORT_REFERENCE_READER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tree/phylogeny.h"

namespace tavrin {

// An independent reading of one text, straight from the reading rules: every node scans its own
// text for the comma depths, and children are read from substrings. Slow, and meant for short
// texts only; it keeps a worklist instead of recursing.
struct ReferenceNode {
    bool is_leaf = false;
    std::string name;
    double support = 0;
    double length = 0;
    std::size_t left = 0;  // indices into the node list; 0 stands for none (0 is the root)
    std::size_t right = 0;
};

// Blanks, then an optional sign, digits with at most one point, and an optional exponent.
inline double reference_number(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    const std::size_t start = i;
    auto digits = [&]() {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return 0;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() > 0) end = i;
    }
    return std::strtod(text.substr(start, end - start).c_str(), nullptr);
}

inline std::vector<ReferenceNode> reference_read(const std::string& root_text) {
    std::vector<ReferenceNode> nodes(1);
    std::vector<std::pair<std::size_t, std::string>> todo{{0, root_text}};
    while (!todo.empty()) {
        const std::size_t at = todo.back().first;
        const std::string s = todo.back().second;
        todo.pop_back();
        ReferenceNode node;
        if (s.find(',') == std::string::npos) {
            const std::size_t colon = s.find(':');
            node.is_leaf = true;
            node.name = s.substr(0, colon);
            node.length = reference_number(colon == std::string::npos ? s : s.substr(colon + 1));
            nodes[at] = node;
            continue;
        }
        long depth = 0;
        long least = 2147483647;
        for (const char c : s) {
            if (c == '(') ++depth;
            if (c == ')') --depth;
            if (c == ',' && depth < least) least = depth;
        }
        std::size_t split = 0;
        depth = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '(') ++depth;
            if (s[i] == ')') --depth;
            if (s[i] == ',' && depth == least) split = i;
        }
        std::size_t first = 0;
        std::size_t right_end = s.size();
        if (least > 0) {
            first = s.find('(') + 1;
            const std::size_t close = s.rfind(')');
            const std::string tail = close == std::string::npos ? s : s.substr(close + 1);
            const std::size_t colon = tail.rfind(':');
            if (colon == std::string::npos) {
                node.support = node.length = reference_number(tail);
            } else {
                node.support = reference_number(tail.substr(0, colon));
                node.length = reference_number(tail.substr(colon + 1));
            }
            if (close != std::string::npos && close > split) right_end = close;
        }
        node.left = nodes.size();
        node.right = nodes.size() + 1;
        nodes.resize(nodes.size() + 2);
        nodes[at] = node;
        todo.push_back({node.right, s.substr(split + 1, right_end - split - 1)});
        todo.push_back({node.left, s.substr(first, split - first)});
    }
    return nodes;
}

// Compares a read tree with the reference reading, node by node in preorder: "" when they
// agree, else the first difference.
inline std::string reference_mismatch(const Phylogeny_Node* root,
                                      const std::vector<ReferenceNode>& reference) {
    std::vector<std::pair<const Phylogeny_Node*, std::size_t>> stack{{root, 0}};
    while (!stack.empty()) {
        const auto [node, at] = stack.back();
        stack.pop_back();
        const ReferenceNode& want = reference[at];
        if (node == nullptr) return "missing node";
        if (node->is_leaf != want.is_leaf || node->name != want.name ||
            node->support != want.support || node->length != want.length) {
            std::ostringstream out;
            out << "node '" << node->name << "' " << node->support << ":" << node->length
                << " (leaf " << node->is_leaf << "), want '" << want.name << "' " << want.support
                << ":" << want.length << " (leaf " << want.is_leaf << ")";
            return out.str();
        }
        if (!want.is_leaf) {
            stack.push_back({node->right, want.right});
            stack.push_back({node->left, want.left});
        }
    }
    return "";
}

// The exact bits of a number, so that two readings compare equal only when they are identical
// (signed zeros and not-a-number payloads included).
inline std::string bits(double value) {
    uint64_t raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(raw));
    return buffer;
}

// Preorder dump of the shape and of every field the reader sets. Numbers go through `number`.
template <typename Format>
inline std::string dump(const Phylogeny_Node* top, Format number) {
    std::string out;
    std::vector<const Phylogeny_Node*> stack{top};
    while (!stack.empty()) {
        const Phylogeny_Node* n = stack.back();
        stack.pop_back();
        if (n == nullptr) {
            out += "~;";
            continue;
        }
        if (n->is_leaf) {
            out += "L[" + n->name + "]";
        } else {
            out += "I";
        }
        out += number(n->support) + "/" + number(n->length) + ";";
        if (!n->is_leaf) {
            stack.push_back(n->right);
            stack.push_back(n->left);
        }
    }
    return out;
}

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_REFERENCE_READER_H
