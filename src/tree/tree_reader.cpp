#include "tree/tree_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tree/newick_reader.h"
#include "tree/nexus.h"
#include "tree/standard_newick.h"

namespace tavrin {

namespace {

// The nodes a compact tree keeps beyond those its text makes, for the new roots of rootings.
constexpr std::size_t kRootingRoom = 64;

// How many commas `text` holds: 16 bytes a step where the processor has SSE2 (every x86-64),
// else one search per comma.
std::size_t count_commas(const std::string& text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    std::size_t count = 0;
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        // Each byte lane counts the commas of up to 255 blocks, then the lanes are summed.
        const auto blocks = std::min<std::size_t>(static_cast<std::size_t>(end - p) / 16, 255);
        __m128i lanes = zero;
        for (std::size_t i = 0; i < blocks; ++i, p += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(block, comma));
        }
        alignas(16) std::uint64_t sums[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(sums), _mm_sad_epu8(lanes, zero));
        count += static_cast<std::size_t>(sums[0] + sums[1]);
    }
#endif
    for (; (p = static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(end - p)))) !=
           nullptr;
         ++p)
        ++count;
    return count;
}

// The classic dialect: the whole text is one tree, which its last character ';' ends.
// A compact tree takes the text with it.
TreeRead read_classic(std::string& text, const ReadOptions& options) {
    TreeRead read;
    if (text.empty() || text.back() != ';') {
        read.malformed.offset = text.empty() ? 0 : text.size() - 1;
        if (!text.empty()) read.malformed.found = text.substr(text.size() - 1);
        return read;
    }
    read.tree = std::make_unique<Phylogeny>();
    if (text.size() >= options.compact_from) {
        // A comma makes one leaf and at most one inner node, as the text's first node does;
        // rooting makes a few more, and gives them back when it is undone.
        const std::size_t commas = count_commas(text);
        read.tree->compact_nodes.reset(
            new CompactStore(2 * commas + 2 + kRootingRoom, std::move(text)));
        CompactStore* store = read.tree->compact_nodes.get();
        if (options.numbers_as_text) store->mark_numbers_as_text();
        const std::string& kept = store->text();
        store->root = store->make();
        read_node_text(store->root, store, kept, 0, kept.size() - 1, options,
                       &read.tree->root_children);
        return read;
    }
    // Newick text with lengths and supports takes about 16 bytes per node.
    expect_nodes(text.size() / 16);
    read.tree->root = new Phylogeny_Node();
    read_node_text(read.tree->root, nullptr, text, 0, text.size() - 1, options,
                   &read.tree->root_children);
    return read;
}

}  // namespace

TreeReader::TreeReader(std::string text, ReadOptions options)
    : text_(std::move(text)), options_(std::move(options)) {
    if (options_.dialect != Dialect::kStandard) return;
    if (is_nexus(text_)) {
        nexus_ = std::make_unique<NexusTrees>(text_);
    } else {
        pos_ = after_byte_order_mark(text_);
    }
}

TreeReader::~TreeReader() = default;

std::size_t TreeReader::skip(std::size_t count) {
    std::size_t skipped = 0;
    if (options_.dialect == Dialect::kClassic) return skipped;
    for (; skipped < count; ++skipped) {
        if (nexus_ != nullptr) {
            if (!nexus_->at_statement()) break;
            nexus_->skip(text_);
        } else {
            if (only_blanks_from(text_, pos_)) break;
            pos_ = statement_end(text_, pos_);
        }
        ++trees_;
    }
    // A text without any tree still gives its one malformed result.
    if (trees_ > 0) done_ = nexus_ != nullptr ? nexus_->at_end() : only_blanks_from(text_, pos_);
    return skipped;
}

void TreeReader::expect_nodes_once() {
    if (nodes_expected_) return;
    nodes_expected_ = true;
    expect_nodes(text_.size() / 16);
}

std::optional<TreeRead> TreeReader::next() {
    if (done_) return std::nullopt;
    std::optional<TreeRead> read = read_next();
    // Once every tree is out the text is spent: the analysis of a big tree gets its room.
    if (done_) std::string().swap(text_);
    return read;
}

TreeRead TreeReader::read_next() {
    if (options_.dialect == Dialect::kClassic) {
        done_ = true;
        return read_classic(text_, options_);
    }
    TreeRead read;
    read.malformed.dialect = Dialect::kStandard;
    read.malformed.tree = ++trees_;
    if (nexus_ != nullptr) {
        if (nexus_->at_end()) {
            read.malformed.offset = text_.size();
            read.malformed.what = "no tree in the NEXUS file";
        } else {
            expect_nodes_once();
            read.tree = nexus_->read(text_, options_, read.malformed, &notes_);
        }
        done_ = nexus_->at_end();
        return read;
    }
    if (trees_ == 1 && only_blanks_from(text_, pos_)) {
        done_ = true;
        read.malformed.offset = text_.size();
        read.malformed.what = "no tree in the text";
        return read;
    }
    expect_nodes_once();
    read.tree = read_standard_tree(text_, pos_, options_, read.malformed, &notes_);
    done_ = only_blanks_from(text_, pos_);
    return read;
}

}  // namespace tavrin
