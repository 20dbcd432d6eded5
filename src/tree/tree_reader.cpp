#include "tree/tree_reader.h"

#include <utility>

#include "tree/newick_reader.h"
#include "tree/node_pool.h"

namespace tavrin {
namespace {

constexpr const char* kMalformedClassic =
    "Malformed Newik Format file, the last character should be a ';', it's '";

// The classic dialect: the whole text is one tree, which its last character ';' ends.
TreeRead read_classic(const std::string& text, const ReadOptions& options) {
    TreeRead read;
    if (text.empty() || text.back() != ';') {
        read.malformed.dialect = Dialect::kClassic;
        read.malformed.offset = text.empty() ? 0 : text.size() - 1;
        if (!text.empty()) read.malformed.found = text.substr(text.size() - 1);
        return read;
    }
    // Newick text with lengths and supports takes about 16 bytes per node.
    expect_nodes(text.size() / 16);
    read.tree = std::make_unique<Phylogeny>();
    read.tree->root = new Phylogeny_Node();
    read_node_text(read.tree->root, text, 0, text.size() - 1, options);
    return read;
}

}  // namespace

TreeReader::TreeReader(std::string text, ReadOptions options)
    : text_(std::move(text)), options_(options) {}

std::optional<TreeRead> TreeReader::next() {
    if (done_) return std::nullopt;
    done_ = true;
    return read_classic(text_, options_);
}

std::string malformed_message(const Malformed& malformed, const std::string& /*file*/) {
    return kMalformedClassic + malformed.found + "'";
}

}  // namespace tavrin
