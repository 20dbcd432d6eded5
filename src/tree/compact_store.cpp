// The nodes of a compact tree, the text it keeps and the names copied beside it.
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/huge_pages.h"
#include "tree/node_ref.h"

namespace tavrin {

CompactStore::CompactStore(std::size_t capacity, std::string text)
    : nodes_(static_cast<CompactNode*>(allocate_buffer(capacity * sizeof(CompactNode)))),
      capacity_(capacity),
      text_(std::move(text)) {
    if (nodes_ == nullptr) throw std::bad_alloc();
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
