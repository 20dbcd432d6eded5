// The nodes of a compact tree, the text it keeps and the names copied beside it.
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/huge_pages.h"
#include "tree/node_ref.h"
#include "tree/numbers.h"

namespace tavrin {

CompactStore::CompactStore(std::size_t capacity, std::string text)
    : nodes_(static_cast<CompactNode*>(allocate_buffer(capacity * sizeof(CompactNode)))),
      capacity_(capacity),
      text_(std::move(text)) {
    if (nodes_ == nullptr) throw std::bad_alloc();
    live_ = text_.size();
}

CompactStore::~CompactStore() {
    release_buffer(nodes_, capacity_ * sizeof(CompactNode));
}

void CompactStoreRelease::operator()(CompactStore* store) const noexcept {
    delete store;
}

void CompactStore::release(NodeRef node) {
    free_.push_back(static_cast<std::uint32_t>(node.as_compact().get() - nodes_));
}

void CompactStore::clear() {
    used_ = 0;
    free_.clear();
    root = nullptr;
}

namespace {

// Moves `size` bytes from `from` down to `to` (to <= from; the two may overlap). A name of 8 to
// 16 bytes, the common size, is moved as two words, both loaded before either is stored.
inline void move_down(char* to, const char* from, std::size_t size) {
    if (size < 8 || size > 16) {
        std::memmove(to, from, size);
        return;
    }
    std::uint64_t head = 0, tail = 0;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + size - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + size - sizeof tail, &tail, sizeof tail);
}

}  // namespace

void CompactStore::pack_names() {
    if (settled_) return;
    settled_ = true;
    // Every number still kept as text is read first: a node's numbers follow its name in the
    // text, and the names only move towards the front.
    const bool pack = in_text_order_ && !text_.empty();
    if (!pack && !text_numbers_) return;
    char* const text = pack ? &text_[0] : nullptr;
    char* to = text;
    for (CompactNode *node = nodes_, *const end = nodes_ + used_; node != end; ++node) {
        if (text_numbers_) CompactRef(node).settle_numbers();
        if (!pack || (node->key & CompactRef::kLeafBit) == 0) continue;
        const std::uint32_t size = (node->key >> CompactRef::kSizeShift) & CompactRef::kLongName;
        if (size == CompactRef::kLongName) continue;  // a copy of its own
        move_down(to, node->name, size);
        node->name = to;
        to += size;
    }
    if (!pack) return;
    packed_ = true;
    // The text keeps its size (names are never made from it again): the bytes past the names
    // are lent out.
    live_ = static_cast<std::size_t>(to - text);
}

double CompactRef::number_from_text(std::uint64_t bits) const {
    const std::uint64_t size = (bits >> kTextSizeShift) & 0xFF;
    auto distance = static_cast<std::int64_t>(bits & ((std::uint64_t{1} << kTextSizeShift) - 1));
    if (distance >= kTextReach) distance -= 2 * kTextReach;
    const auto first =
        reinterpret_cast<const char*>(reinterpret_cast<std::intptr_t>(n_) + distance);
    return read_number(first, first + size);
}

SpareRoom CompactStore::lend_spare_text() {
    if (!packed_ || spare_lent_ || live_ >= text_.size()) return {};
    spare_lent_ = true;
    return SpareRoom{&text_[live_], text_.size() - live_};
}

const char* CompactStore::copy_name(std::string_view name) {
    // A name longer than a key can tell, or not from the text.
    if (name.size() > UINT32_MAX) throw std::length_error("a leaf name of 4 GiB or more");
    const auto size = static_cast<std::uint32_t>(name.size());
    std::unique_ptr<char[]> copy(new char[sizeof size + name.size()]);
    std::memcpy(copy.get(), &size, sizeof size);
    if (!name.empty()) std::memcpy(copy.get() + sizeof size, name.data(), name.size());
    copied_names_.push_back(std::move(copy));
    return copied_names_.back().get();
}

}  // namespace tavrin
