// gzip-compressed text, as pipelines keep their trees: recognised by its first two bytes and
// decompressed with zlib where the build has it.
#ifndef TAVRIN_PLATFORM_GZIP_H
#define TAVRIN_PLATFORM_GZIP_H

#include <string>

namespace tavrin {

// Does `bytes` start with the gzip magic bytes 1f 8b?
bool is_gzip(const std::string& bytes);

// Was this build made with zlib, so that gunzip can decompress?
bool gzip_supported();

// Replaces `bytes`, gzip-compressed (one member, or several one after the other as `cat a.gz
// b.gz` makes them), with the text they hold; zero bytes after the last member (the padding of
// archives and devices) are ignored. False, `bytes` unchanged and the reason in `reason`, when
// they are damaged, cut short or followed by anything else, when their text passes a quarter of
// memory_ceiling() (so that the text, the bytes it came from and the trees read from it fit
// together), or when the build has no zlib. The text's buffer grows with what inflating
// gives, never from the size a trailer states. Throws std::bad_alloc when the text would not fit
// in memory (see memory_ceiling).
bool gunzip(std::string& bytes, std::string& reason);

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_GZIP_H
