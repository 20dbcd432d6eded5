#include "platform/gzip.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "platform/huge_pages.h"
#include "platform/memory.h"

#if defined(TAVRIN_HAVE_ZLIB)
#include <zlib.h>
#endif

namespace tavrin {

bool is_gzip(const std::string& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
           static_cast<unsigned char>(bytes[1]) == 0x8b;
}

#if defined(TAVRIN_HAVE_ZLIB)

namespace {

// zlib takes at most this many bytes in one call (its counts are unsigned int).
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

// An inflate stream for gzip members, ended when it goes out of scope.
class Inflater {
public:
    Inflater() {
        // 16 + 15: a gzip wrapper and the largest window.
        if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
};

// A first size for the text: four times the compressed size (tree files shrink about three to
// six times), at least 64 KiB, within what memory can hold. The size a member's trailer states
// is not trusted: a few bytes can claim gigabytes. The text grows from what inflating gives.
std::size_t first_capacity(const std::string& bytes) {
    const std::size_t ceiling = std::max<std::size_t>(memory_ceiling() / 3, 1);
    const std::size_t compressed = std::max<std::size_t>(bytes.size(), 16384);
    return compressed <= ceiling / 4 ? compressed * 4 : ceiling;
}

// Is every byte from `pos` on a zero? Archives and block devices pad files so; `zcat` ignores
// such padding after the last member.
bool only_zeros_from(const std::string& bytes, std::size_t pos) {
    return bytes.find_first_not_of('\0', pos) == std::string::npos;
}

}  // namespace

bool gzip_supported() {
    return true;
}

bool gunzip(std::string& bytes, std::string& reason) {
    Inflater inflater;
    z_stream& z = inflater.stream();
    std::string text;
    std::size_t capacity = first_capacity(bytes);
    reserve_large(text, capacity);
    text.resize(capacity);
    std::size_t in = 0;    // bytes of `bytes` given to zlib
    std::size_t size = 0;  // bytes of `text` written
    for (;;) {
        if (size == capacity) {
            // As for a file read whole: doubles while the old and the new text fit together.
            if (capacity > memory_ceiling() / 3) throw std::bad_alloc();
            capacity *= 2;
            text.resize(capacity);
        }
        z.next_in = reinterpret_cast<Bytef*>(&bytes[0]) + in;
        z.avail_in = static_cast<uInt>(std::min(bytes.size() - in, kMostPerCall));
        z.next_out = reinterpret_cast<Bytef*>(&text[0]) + size;
        z.avail_out = static_cast<uInt>(std::min(capacity - size, kMostPerCall));
        const uInt given_in = z.avail_in, given_out = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        in += given_in - z.avail_in;
        size += given_out - z.avail_out;
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status == Z_STREAM_END) {
            if (only_zeros_from(bytes, in)) break;
            // Another member follows, or something that is not one.
            if (!is_gzip(bytes.substr(in, 2))) {
                reason = "something other than gzip data follows the compressed data";
                return false;
            }
            inflateReset(&z);
            continue;
        }
        if (status == Z_DATA_ERROR || status == Z_NEED_DICT || status == Z_STREAM_ERROR) {
            reason = z.msg != nullptr ? z.msg : "damaged compressed data";
            return false;
        }
        // No progress although input remains: only more room can help. No input left: cut short.
        if (in == bytes.size() && size < capacity) {
            reason = "the compressed data ends before its end";
            return false;
        }
    }
    text.resize(size);
    bytes.swap(text);
    return true;
}

#else

bool gzip_supported() {
    return false;
}

bool gunzip(std::string&, std::string& reason) {
    reason = "this build of Tavrin has no zlib";
    return false;
}

#endif

}  // namespace tavrin
