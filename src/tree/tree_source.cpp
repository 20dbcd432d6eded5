#include "tree/tree_source.h"

#include "platform/files.h"
#include "platform/gzip.h"

namespace tavrin {

SourceRead read_tree_source(const std::string& path, std::string& text, std::string& reason) {
    // Standard input can be read only once; read again, it holds nothing (even a terminal's).
    static bool standard_input_read = false;
    if (path == "-") {
        text.clear();
        if (standard_input_read) return SourceRead::kRead;
        standard_input_read = true;
        if (!read_standard_input(text)) return SourceRead::kNotOpened;
    } else if (!read_file(path, text)) {
        return SourceRead::kNotOpened;
    }
    if (!is_gzip(text)) return SourceRead::kRead;
    if (!gzip_supported()) return SourceRead::kNoGzip;
    return gunzip(text, reason) ? SourceRead::kRead : SourceRead::kDamagedGzip;
}

}  // namespace tavrin
