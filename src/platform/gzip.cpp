#include "platform/gzip.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

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

// The text is made longer by this much at a time within its capacity: only the bytes inflating
// is about to fill are cleared, and the pages reserved past them are never touched.
constexpr std::size_t kStep = std::size_t{1} << 20;

// A first capacity for the text: four times the compressed size, at least 64 KiB, at most one
// step. The size a member's trailer states is not trusted: a few bytes can claim gigabytes.
std::size_t first_capacity(std::size_t compressed) {
    const std::size_t ceiling = std::max<std::size_t>(memory_ceiling() / 3, 1);
    return std::min({std::max<std::size_t>(compressed, 16384) * 4, kStep, ceiling});
}

// The capacity that follows a full one of `size` bytes, inflated from the first `in` of the
// `compressed` bytes: what all of them should give at the rate inflating has shown so far, an
// eighth more, at least twice `size`. Tree files compress evenly, so that one estimate made on
// the first step usually holds the whole text; a text that outgrows it still doubles. As for a
// file read whole, the old and the new text must fit in memory together.
std::size_t next_capacity(std::size_t size, std::size_t in, std::size_t compressed) {
    const std::size_t ceiling = memory_ceiling() / 3;
    if (size > ceiling) throw std::bad_alloc();
    const double expected = static_cast<double>(size) /
                            static_cast<double>(std::max<std::size_t>(in, 1)) *
                            static_cast<double>(compressed) * 1.125;
    const std::size_t capped =
        expected < static_cast<double>(ceiling) ? static_cast<std::size_t>(expected) : ceiling;
    return std::max(2 * size, capped);
}

// Room in `text` for at least one byte after its first `size`, `in` compressed bytes having
// been inflated: a step more within `capacity`, which grows when it is full.
void make_room(std::string& text, std::size_t size, std::size_t& capacity, std::size_t in,
               std::size_t compressed) {
    if (size < text.size()) return;
    if (size == capacity) {
        capacity = next_capacity(size, in, compressed);
        reserve_large(text, capacity);
    }
    text.resize(std::min(capacity, size + kStep));
}

// Is every byte from `pos` on a zero? Archives and block devices pad files so; `zcat` ignores
// such padding after the last member.
bool only_zeros_from(const std::string& bytes, std::size_t pos) {
    return bytes.find_first_not_of('\0', pos) == std::string::npos;
}

// The longest text gunzip gives; SIZE_MAX where the system does not tell the memory.
std::size_t gzip_text_limit() {
    const std::size_t ceiling = memory_ceiling();
    return ceiling == SIZE_MAX ? SIZE_MAX : ceiling / 4;
}

}  // namespace

bool gzip_supported() {
    return true;
}

bool gunzip(std::string& bytes, std::string& reason) {
    Inflater inflater;
    z_stream& z = inflater.stream();
    std::string text;
    std::size_t capacity = first_capacity(bytes.size());
    reserve_large(text, capacity);
    std::size_t in = 0;    // bytes of `bytes` given to zlib
    std::size_t size = 0;  // bytes of `text` written
    const std::size_t limit = gzip_text_limit();
    for (;;) {
        if (size > limit) {
            reason = "its text passes " + std::to_string(limit) +
                     " bytes, a quarter of the memory this run can hold";
            return false;
        }
        make_room(text, size, capacity, in, bytes.size());
        z.next_in = reinterpret_cast<Bytef*>(&bytes[0]) + in;
        z.avail_in = static_cast<uInt>(std::min(bytes.size() - in, kMostPerCall));
        z.next_out = reinterpret_cast<Bytef*>(&text[0]) + size;
        z.avail_out = static_cast<uInt>(std::min(text.size() - size, kMostPerCall));
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
        if (in == bytes.size() && size < text.size()) {
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
