// Reading whole files: a tree file's text, and any file's bytes.
#ifndef TAVRIN_TREE_TREE_FILE_H
#define TAVRIN_TREE_TREE_FILE_H

#include <cstddef>
#include <string>

namespace tavrin {

// Replaces `text` with the file's bytes as read_file reads them, every '\n' removed in place (a
// carriage return is kept): hand it on with std::move to keep it the only copy.
bool read_tree_file(const std::string& path, std::string& text);

// Replaces `text` with the file's bytes, read once, straight into a buffer sized from the file
// when it is a regular one. False when the file cannot be opened or read; a directory opens but
// holds no text: it reads as empty. Throws std::bad_alloc when the text does not fit in
// memory, and when a file that never ends (a character device) outgrows what memory can hold.
bool read_file(const std::string& path, std::string& text);

// The most memory the process can hope to hold: the smaller of its address-space and data
// limits and the machine's physical memory. SIZE_MAX where the system does not say.
std::size_t memory_ceiling();

}  // namespace tavrin

#endif  // TAVRIN_TREE_TREE_FILE_H
