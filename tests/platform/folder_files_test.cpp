// Files written in a folder by replacing them whole: a link of the name is replaced, never
// followed; a folder or a special file of the name is left alone; a failed write leaves the
// folder as it was.
#include "platform/folder_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#if defined(__linux__)
#include <sys/stat.h>
#endif

namespace tavrin {

namespace {

namespace fs = std::filesystem;

class FolderFilesTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(testing::TempDir()) /
                ("tavrin_folder_" +
                 std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "dir");
        fs::create_directories(root_ / "outside");
    }
    void TearDown() override { fs::remove_all(root_); }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // The entries of the folder, hidden ones included.
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(root_ / "dir"), fs::directory_iterator()));
    }

    fs::path root_;
};

TEST_F(FolderFilesTest, WritesAndReplacesRegularFiles) {
    FolderFiles folder((root_ / "dir").string());
    ASSERT_EQ(folder.error(), 0);
    EXPECT_EQ(folder.read_head("a.svg", {10}), std::nullopt);
    EXPECT_EQ(folder.replace("a.svg", "first"), 0);
    EXPECT_EQ(folder.read_head("a.svg", {3}), std::optional<std::string>("fir"));
    std::optional<std::string> former;
    EXPECT_EQ(folder.replace("a.svg", "second", &former, {4}), 0);
    EXPECT_EQ(former, std::optional<std::string>("firs"));
    EXPECT_EQ(read(root_ / "dir" / "a.svg"), "second");
    EXPECT_EQ(folder.replace("b.svg", "new", &former, {4}), 0);
    EXPECT_EQ(former, std::nullopt);
    EXPECT_EQ(entries(), 2u);  // no temporary file left
    EXPECT_EQ(folder.path_of("a.svg"), (root_ / "dir" / "a.svg").string());
}

TEST_F(FolderFilesTest, HeadsStopAfterTheirMarker) {
    FolderFiles folder((root_ / "dir").string());
    // The marker straddles the reads' blocks of 4 KiB.
    const std::string start = std::string(4094, 'x') + "</end>";
    write(root_ / "dir" / "a.svg", start + std::string(10000, 'y') + "</end>");
    EXPECT_EQ(folder.read_head("a.svg", {1 << 20, "</end>"}), std::optional<std::string>(start));
    EXPECT_EQ(folder.read_head("a.svg", {100, "</end>"}),
              std::optional<std::string>(std::string(100, 'x')));
    EXPECT_EQ(folder.read_head("a.svg", {1 << 20, "</none>"})->size(), start.size() + 10006);
}

TEST_F(FolderFilesTest, TemporaryFilesArePutInPlaceOrRemoved) {
    FolderFiles folder((root_ / "dir").string());
    std::string first, second;
    ASSERT_EQ(folder.write_temporary("one", first), 0);
    ASSERT_EQ(folder.write_temporary("two", second, 0640u), 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(entries(), 2u);
    EXPECT_EQ(folder.rename_temporary(second, "page.html"), 0);
    folder.remove_temporary(first);
    EXPECT_EQ(entries(), 1u);
    EXPECT_EQ(read(root_ / "dir" / "page.html"), "two");
#if defined(__linux__)
    EXPECT_EQ(fs::status(root_ / "dir" / "page.html").permissions() & fs::perms::mask,
              static_cast<fs::perms>(0640));
#endif
    // A rename that fails leaves no temporary file behind.
    fs::create_directories(root_ / "dir" / "full" / "x");
    ASSERT_EQ(folder.write_temporary("three", first), 0);
    EXPECT_NE(folder.rename_temporary(first, "full"), 0);
    EXPECT_EQ(entries(), 2u);
}

TEST_F(FolderFilesTest, LinksAreReplacedNeverFollowed) {
    write(root_ / "outside" / "secret", "keep");
    fs::create_symlink(root_ / "outside" / "secret", root_ / "dir" / "a.svg");
    fs::create_symlink(root_ / "outside" / "new", root_ / "dir" / "b.svg");
    FolderFiles folder((root_ / "dir").string());
    EXPECT_EQ(folder.read_head("a.svg", {10}), std::nullopt);  // not read through the link
    std::optional<std::string> former("stale");
    EXPECT_EQ(folder.replace("a.svg", "mine", &former, {10}), 0);
    EXPECT_EQ(former, std::nullopt);  // a link is not read either
    EXPECT_EQ(folder.replace("b.svg", "mine"), 0);
    EXPECT_EQ(read(root_ / "outside" / "secret"), "keep");
    EXPECT_FALSE(fs::exists(root_ / "outside" / "new"));
    EXPECT_FALSE(fs::is_symlink(root_ / "dir" / "a.svg"));
    EXPECT_EQ(read(root_ / "dir" / "a.svg"), "mine");
}

TEST_F(FolderFilesTest, FoldersAndSpecialFilesAreLeftAlone) {
    fs::create_directories(root_ / "dir" / "a.svg");
    FolderFiles folder((root_ / "dir").string());
    EXPECT_EQ(folder.replace("a.svg", "mine"), EISDIR);
    EXPECT_TRUE(fs::is_directory(root_ / "dir" / "a.svg"));
#if defined(__linux__)
    ASSERT_EQ(mkfifo((root_ / "dir" / "p.svg").c_str(), 0600), 0);
    EXPECT_EQ(folder.read_head("p.svg", {10}), std::nullopt);  // and does not wait for a writer
    EXPECT_EQ(folder.replace("p.svg", "mine"), kNotARegularFile);
    EXPECT_EQ(fs::status(root_ / "dir" / "p.svg").type(), fs::file_type::fifo);
#endif
    EXPECT_EQ(entries(), 2u);
}

TEST_F(FolderFilesTest, FolderReachedThroughALink) {
    fs::create_directory_symlink(root_ / "dir", root_ / "linked");
    FolderFiles folder((root_ / "linked").string());
    ASSERT_EQ(folder.error(), 0);
    EXPECT_EQ(folder.replace("a.svg", "mine"), 0);
    EXPECT_EQ(read(root_ / "dir" / "a.svg"), "mine");
    EXPECT_NE(FolderFiles((root_ / "missing").string()).error(), 0);
    EXPECT_NE(FolderFiles((root_ / "missing").string()).replace("a.svg", "x"), 0);
}

}  // namespace

}  // namespace tavrin
