// Where the text of a standard Newick or NEXUS tree file comes from: the file, or standard input
// for "-", decompressed when it is gzip-compressed.
#ifndef TAVRIN_TREE_TREE_SOURCE_H
#define TAVRIN_TREE_TREE_SOURCE_H

#include <string>

namespace tavrin {

enum class SourceRead {
    kRead,         // `text` holds the file's text
    kNotOpened,    // the file cannot be opened or read
    kNoGzip,       // gzip-compressed, and this build cannot decompress
    kDamagedGzip,  // gzip-compressed, but damaged or cut short (the reason given)
};

// Replaces `text` with the text of the tree file `path`: its bytes as read_file reads them, or
// with "-" those of standard input (read once: a second "-" finds it empty), decompressed when
// they start with the gzip magic bytes. Offsets into the text are then offsets in the
// decompressed text. Throws std::bad_alloc when the text does not fit in memory.
SourceRead read_tree_source(const std::string& path, std::string& text, std::string& reason);

}  // namespace tavrin

#endif  // TAVRIN_TREE_TREE_SOURCE_H
