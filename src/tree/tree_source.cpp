#include "tree/tree_source.h"

#include "platform/files.h"
#include "platform/gzip.h"

namespace tavrin {

SourceRead read_tree_source(const std::string& path, StandardInput& input, std::string& text,
                            std::string& reason) {
    if (path == "-") {
        text.clear();
        if (input.read) return SourceRead::kRead;
        input.read = true;
        const bool got =
            input.stream == nullptr ? read_standard_input(text) : read_stream(*input.stream, text);
        if (!got) return SourceRead::kNotOpened;
    } else if (!read_file(path, text)) {
        return SourceRead::kNotOpened;
    }
    if (!is_gzip(text)) return SourceRead::kRead;
    if (!gzip_supported()) return SourceRead::kNoGzip;
    return gunzip(text, reason) ? SourceRead::kRead : SourceRead::kDamagedGzip;
}

}  // namespace tavrin
