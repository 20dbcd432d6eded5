// Checks on a tree file's text as the driver reads it with --standard-newick: decompressed when
// it is gzip data, then read as NEXUS or standard Newick with --burnin and --support-attribute.
// Shared by the libFuzzer target fuzz_tree_source and the replay of its seeds in the ordinary
// build; both need zlib, to compress the texts they are given.
//
// An input is one options byte, then the file's bytes. Bits 0-1 of the options byte give the
// burn-in (0 to 3 trees), bits 2-3 the support attribute (none, "p", "prob", "B"), bits 4-6 how
// the bytes reach the reader:
//   0, 7  as they are (decompressed when they start with the gzip magic bytes)
//   1     compressed as one gzip member
//   2     compressed as two members, cut in the middle of the text
//   3     one member followed by 1 to 64 zero bytes (as the text's first byte says)
//   4     one member followed by a byte that is not zero
//   5     one member cut short by one byte
//   6     one member whose trailer states one byte more than the text
// In modes 1 to 3 gunzip must give the text back exactly; in 4 to 6 it must refuse it, with a
// reason, leaving the bytes as they were.
#ifndef TAVRIN_TESTS_SUPPORT_TREE_SOURCE_CHECKS_H
#define TAVRIN_TESTS_SUPPORT_TREE_SOURCE_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include <zlib.h>

#include "platform/gzip.h"
#include "support/standard_checks.h"

namespace tavrin {

namespace tree_source_checks {

// `text` compressed as one gzip member.
inline std::string gzip(const std::string& text, int level = 6) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return "";
    }
    std::string out(deflateBound(&z, text.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(done ? z.total_out : 0);
    deflateEnd(&z);
    return out;
}

// The file's bytes for `text` in `mode` (see above).
inline std::string file_bytes(const std::string& text, unsigned mode) {
    if (mode == 0 || mode == 7) return text;
    if (mode == 2)
        return gzip(text.substr(0, text.size() / 2)) + gzip(text.substr(text.size() / 2));
    std::string bytes = gzip(text);
    if (bytes.empty()) return bytes;
    if (mode == 3) bytes.append(1 + (text.empty() ? 0 : static_cast<uint8_t>(text[0]) % 64), '\0');
    if (mode == 4) bytes += text.empty() || text[0] == '\0' ? 'x' : text[0];
    if (mode == 5) bytes.pop_back();
    if (mode == 6) {
        // The trailer's last four bytes: the size modulo 2^32, least significant first.
        const uint32_t size = static_cast<uint32_t>(text.size()) + 1;
        for (std::size_t i = 0; i < 4; ++i)
            bytes[bytes.size() - 4 + i] = static_cast<char>(size >> (8 * i) & 0xff);
    }
    return bytes;
}

inline std::string check_tree_source_input(const uint8_t* data, std::size_t size) {
    if (size == 0) return "";
    const unsigned options = data[0];
    const std::size_t burnin = options & 3;
    const char* const attributes[] = {"", "p", "prob", "B"};
    const std::string attribute = attributes[options >> 2 & 3];
    const unsigned mode = options >> 4 & 7;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string bytes = file_bytes(text, mode), reason;
    if (mode != 0 && mode != 7 && !tavrin::is_gzip(bytes)) return "the text was not compressed";
    if (tavrin::is_gzip(bytes)) {
        const std::string given = bytes;
        const bool read = tavrin::gunzip(bytes, reason);
        const bool made = mode >= 1 && mode <= 3, damaged = mode >= 4 && mode <= 6;
        if (read && made && bytes != text) return "gunzip gave another text";
        if (!read && (reason.empty() || bytes != given)) return "a refusal without its reason";
        if (!read && made) return "gunzip refused its own data: " + reason;
        if (read && damaged) return "gunzip took damaged data";
        if (!read) return "";
    }
    return standard_checks::check_standard_text(bytes, 1, attribute, burnin);
}

}  // namespace tree_source_checks

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_TREE_SOURCE_CHECKS_H
