// Reading a tree file's text: lines joined without their line breaks, every other byte kept,
// and files that cannot be read refused.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#if defined(__linux__)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin {

namespace {

// A file in the test's temporary directory, removed when the test ends. Its name holds the
// process id: the tests of this file run as processes of their own, side by side.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : path_(::testing::TempDir() + "tavrin_tree_file_" + std::to_string(getpid()) + "_" +
                name) {}
    ~TempFile() { std::remove(path_.c_str()); }
    void write(const std::string& bytes) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string without_newlines(const std::string& bytes) {
    std::string kept;
    for (char c : bytes) {
        if (c != '\n') kept += c;
    }
    return kept;
}

std::string read(const std::string& path) {
    std::string text = "left over from an earlier file";
    EXPECT_TRUE(tavrin::read_tree_file(path, text));
    return text;
}

TEST(TreeFile, LinesAreJoinedAndCarriageReturnsKept) {
    TempFile file("lines");
    file.write("((A:1,B\n:2)90,\nC);\n");
    EXPECT_EQ(read(file.path()), "((A:1,B:2)90,C);");
    file.write("(A,B);\r\n");
    EXPECT_EQ(read(file.path()), "(A,B);\r");
    file.write("(A, B)\t;");
    EXPECT_EQ(read(file.path()), "(A, B)\t;");
    file.write("\n\n\n");
    EXPECT_EQ(read(file.path()), "");
    file.write("\n(A,\n\nB);");
    EXPECT_EQ(read(file.path()), "(A,B);");
    file.write("");
    EXPECT_EQ(read(file.path()), "");
    file.write(std::string("(A\0B,C);", 8));
    EXPECT_EQ(read(file.path()), std::string("(A\0B,C);", 8));
}

TEST(TreeFile, BigFileIsReadWhole) {
    // Larger than the buffers that are advised for huge pages, with line breaks throughout.
    std::string bytes;
    for (std::size_t i = 0; bytes.size() < (std::size_t{9} << 20); ++i) {
        bytes += "(Leaf-" + std::to_string(i) + ":0.25,";
        if (i % 7 == 0) bytes += '\n';
    }
    bytes += "X);\n";
    TempFile file("big");
    file.write(bytes);
    EXPECT_EQ(read(file.path()), without_newlines(bytes));
}

TEST(TreeFile, MissingFilesAreNotOpenedAndDirectoriesReadAsEmpty) {
    std::string text;
    EXPECT_FALSE(tavrin::read_tree_file(::testing::TempDir() + "tavrin_no_such_file.nwk", text));
    EXPECT_FALSE(tavrin::read_tree_file("", text));
    EXPECT_EQ(read(::testing::TempDir()), "");
    EXPECT_EQ(read("."), "");
}

#if defined(__linux__)
TEST(TreeFile, StreamOfUnknownSizeIsReadToItsEnd) {
    // A named pipe has no size: the buffer must grow until the writer closes it.
    const std::string path = ::testing::TempDir() + "tavrin_tree_file_fifo";
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::string bytes;
    for (int i = 0; bytes.size() < 300000; ++i)
        bytes += "(A" + std::to_string(i) + ",\nB);";
    std::thread writer([&] {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    });
    std::string text;
    const bool ok = tavrin::read_tree_file(path, text);
    writer.join();
    std::remove(path.c_str());
    EXPECT_TRUE(ok);
    EXPECT_EQ(text, without_newlines(bytes));
}
#endif

}  // namespace

}  // namespace tavrin
