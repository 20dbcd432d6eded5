// Where the text of a standard Newick or NEXUS tree file comes from: the file, or standard input
// for "-", decompressed when it is gzip-compressed.
#ifndef TAVRIN_TREE_TREE_SOURCE_H
#define TAVRIN_TREE_TREE_SOURCE_H

#include <istream>
#include <string>

namespace tavrin {

enum class SourceRead {
    kRead,         // `text` holds the file's text
    kNotOpened,    // the file cannot be opened or read
    kNoGzip,       // gzip-compressed, and this build cannot decompress
    kDamagedGzip,  // gzip-compressed, but damaged or cut short (the reason given)
};

// The standard input of a run, named "-" among its tree files: the process's own, read through
// its descriptor, or a stream handed to the run. It can be read only once; read again, it holds
// nothing (even a terminal's).
struct StandardInput {
    std::istream* stream = nullptr;  // null: the process's standard input
    bool read = false;               // it has been read already
};

// Replaces `text` with the text of the tree file `path`: its bytes as read_file reads them, or
// with "-" those of `input`, decompressed when they start with the gzip magic bytes. Offsets into
// the text are then offsets in the decompressed text. Throws std::bad_alloc when the text does
// not fit in memory.
SourceRead read_tree_source(const std::string& path, StandardInput& input, std::string& text,
                            std::string& reason);

}  // namespace tavrin

#endif  // TAVRIN_TREE_TREE_SOURCE_H
