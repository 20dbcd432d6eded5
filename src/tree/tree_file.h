// Reading whole files: a tree file's text, and any file's bytes.
#ifndef TAVRIN_TREE_TREE_FILE_H
#define TAVRIN_TREE_TREE_FILE_H

#include <string>

namespace tavrin {

// Replaces `text` with the file's lines joined without their line breaks ('\n' dropped, a
// carriage return kept). False when the file cannot be opened or read; std::bad_alloc as
// read_file. A directory opens but
// holds no text: it reads as empty.
//
// The text is read once, straight into its final buffer (sized from the file for regular files),
// and the line breaks are removed in place: hand it on with std::move to keep it the only copy.
bool read_tree_file(const std::string& path, std::string& text);

// Replaces `text` with the file's bytes, read the same way. False when the file cannot be opened
// or read; a directory reads as empty. Throws std::bad_alloc when the text does not fit in
// memory, and when a file that never ends (a character device) outgrows what memory can hold.
bool read_file(const std::string& path, std::string& text);

}  // namespace tavrin

#endif  // TAVRIN_TREE_TREE_FILE_H
