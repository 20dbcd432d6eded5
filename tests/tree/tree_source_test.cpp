// Where a standard Newick file's text comes from: the file, decompressed when it is gzip data
// (one member or several, damaged or cut short), and standard input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/gzip.h"
#include "tree/tree_source.h"

#if defined(TAVRIN_HAVE_ZLIB)
#include "support/tree_source_checks.h"
#endif

namespace tavrin {

namespace {

namespace fs = std::filesystem;

// A file in the temporary directory, removed at the end of the test. Its name holds the process
// id: the tests of this file run as processes of their own, side by side.
class TempFile {
public:
    TempFile(const std::string& name, const std::string& bytes)
        : path_(fs::temp_directory_path() /
                ("tavrin_source_" + std::to_string(getpid()) + "_" + name)) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TempFile() { fs::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

const std::string kTrees = "((Choano-a,Choano-b)95,Metazoa-m);\n((A,B),C);\n";

TEST(TreeSource, PlainFilesAreReadAsTheyAre) {
    const TempFile file("plain.nwk", kTrees);
    std::string text = "left over", reason;
    tavrin::StandardInput input;
    EXPECT_EQ(tavrin::read_tree_source(file.path(), input, text, reason),
              tavrin::SourceRead::kRead);
    EXPECT_EQ(text, kTrees);
    EXPECT_EQ(tavrin::read_tree_source(file.path() + ".missing", input, text, reason),
              tavrin::SourceRead::kNotOpened);
    EXPECT_FALSE(tavrin::is_gzip("\x1f"));
    EXPECT_TRUE(tavrin::is_gzip("\x1f\x8b"));
}

#if defined(TAVRIN_HAVE_ZLIB)

using tree_source_checks::gzip;

std::string read_source(const std::string& bytes, tavrin::SourceRead expected,
                        const std::string& name = "t.nwk.gz") {
    const TempFile file(name, bytes);
    std::string text, reason;
    tavrin::StandardInput input;
    EXPECT_EQ(tavrin::read_tree_source(file.path(), input, text, reason), expected);
    return expected == tavrin::SourceRead::kRead ? text : reason;
}

TEST(TreeSource, GzipDataIsDecompressed) {
    EXPECT_TRUE(tavrin::gzip_supported());
    EXPECT_EQ(read_source(gzip(kTrees), tavrin::SourceRead::kRead), kTrees);
    EXPECT_EQ(read_source(gzip(""), tavrin::SourceRead::kRead), "");
    // Members one after the other, as `cat a.gz b.gz` makes them.
    EXPECT_EQ(read_source(gzip(kTrees) + gzip("(X,Y);", 1) + gzip(""), tavrin::SourceRead::kRead),
              kTrees + "(X,Y);");
    // Far larger than the compressed bytes, and than the first guess at its size.
    std::string big;
    for (int i = 0; big.size() < 1000000; ++i)
        big += "(Choano-" + std::to_string(i) + ":0.1,Metazoa-m:0.2)95:0.3;\n";
    std::string several = gzip(big, 1) + gzip(big, 1);
    EXPECT_EQ(read_source(several, tavrin::SourceRead::kRead), big + big);
    // Compressed unevenly: the size the first megabyte foretells is far too small.
    const std::string uneven = big + std::string(20000000, ' ');
    EXPECT_EQ(read_source(gzip(uneven), tavrin::SourceRead::kRead), uneven);
}

TEST(TreeSource, DamagedGzipDataIsRefusedWithItsReason) {
    const std::string good = gzip(kTrees);
    EXPECT_EQ(read_source(good.substr(0, good.size() - 6), tavrin::SourceRead::kDamagedGzip),
              "the compressed data ends before its end");
    EXPECT_EQ(read_source("\x1f\x8b", tavrin::SourceRead::kDamagedGzip),
              "the compressed data ends before its end");
    std::string flipped = good;
    flipped[good.size() - 5] ^= 0x55;  // the trailer's check value
    EXPECT_EQ(read_source(flipped, tavrin::SourceRead::kDamagedGzip), "incorrect data check");
    EXPECT_EQ(read_source(good + "trailing", tavrin::SourceRead::kDamagedGzip),
              "something other than gzip data follows the compressed data");
    EXPECT_EQ(read_source(std::string("\x1f\x8b\x09", 3) + good.substr(3),
                          tavrin::SourceRead::kDamagedGzip),
              "unknown compression method");
}

TEST(TreeSource, ZeroPaddingAfterTheLastMemberIsIgnoredAndNothingElse) {
    const std::string good = gzip(kTrees);
    EXPECT_EQ(read_source(good + std::string(1, '\0'), tavrin::SourceRead::kRead), kTrees);
    EXPECT_EQ(
        read_source(good + gzip("(X,Y);") + std::string(70000, '\0'), tavrin::SourceRead::kRead),
        kTrees + "(X,Y);");
    // Zeros then something else, even another member; half a magic number.
    for (const std::string& trailing : {std::string("\0\0x", 3), std::string(2, '\0') + good,
                                        std::string("\x1f"), std::string(" ")}) {
        EXPECT_EQ(read_source(good + trailing, tavrin::SourceRead::kDamagedGzip),
                  "something other than gzip data follows the compressed data");
    }
}

// The last four bytes of a member state its text's size: zlib checks them once it has inflated
// the data. A file claiming 4 GiB is refused for its length, having used no more memory than
// its own text needs (tests/platform/gzip_lying_trailer.sh measures it).
TEST(TreeSource, ATrailerThatClaimsAnotherSizeIsRefused) {
    std::string lying = gzip(kTrees);
    lying.replace(lying.size() - 4, 4, "\xf0\xff\xff\xff");
    EXPECT_EQ(read_source(lying, tavrin::SourceRead::kDamagedGzip), "incorrect length check");
    std::string bytes = lying, reason;
    EXPECT_FALSE(tavrin::gunzip(bytes, reason));
    EXPECT_EQ(bytes, lying);
}

#else

TEST(TreeSource, ABuildWithoutZlibRefusesGzipData) {
    EXPECT_FALSE(tavrin::gzip_supported());
    const TempFile file("t.nwk.gz", std::string("\x1f\x8b\x08\x00", 4));
    std::string text, reason;
    tavrin::StandardInput input;
    EXPECT_EQ(tavrin::read_tree_source(file.path(), input, text, reason),
              tavrin::SourceRead::kNoGzip);
}

#endif

}  // namespace

}  // namespace tavrin
