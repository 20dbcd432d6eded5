// What Tavrin --table writes, Tavrin-summary reads: a row of every status, from real runs of
// Tavrin in-process, read back by the summary's reader with the same statuses and answers.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/app.h"
#include "output/table_format.h"
#include "summary/report_reader.h"
#include "summary/tally.h"

namespace tavrin::summary {

namespace {

namespace fs = std::filesystem;

// A folder of tree files, one per status, removed afterwards.
class Trees {
public:
    Trees() : dir_(fs::path(::testing::TempDir()) / "table_round_trip") {
        fs::create_directories(dir_);
        write("sisters.nwk", "(((Choano-a,Choano-b)80,Fungi-f)70,Metazoa-m);");
        // Without a group file nothing names the mixed sibling nor the rest of the tree.
        write("unnamed.nwk",
              "((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Metazoa-h);");
        // Two leaves break the clade: more than --outliers 1 sets aside.
        write("not_a_clade.nwk",
              "(((Choano-a,Fungi-f)60,Metazoa-m)70,((Choano-b,Amoebozoa-p)50,Choano-c)80);");
        write("no_target.nwk", "((Fungi-f,Fungi-g),Metazoa-m);");
        write("whole_tree.nwk", "((Choano-a,Choano-b),Choano-c);");
        write("malformed.nwk", "((Choano-a,Choano-b),Fungi-f)");
        // Two target leaves on either side of two stray leaves: two sets of one leaf tie.
        write("ambiguous.nwk", "(((Choano-a,Fungi-f),(Choano-b,Fungi-g)),(Metazoa-m,Metazoa-n));");
        write("no_outgroup.nwk", "((Choano-a,Choano-b),(Fungi-f,Fungi-g));");
    }
    ~Trees() { fs::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }

private:
    void write(const char* name, const char* text) const { std::ofstream(dir_ / name) << text; }
    fs::path dir_;
};

// The table Tavrin writes for `args`.
std::string table_of(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    run(args, in, out, err);
    return out.str();
}

TEST(TableRoundTrip, EveryStatusWrittenIsReadBack) {
    const Trees trees;
    // Outgroup Metazoa: a tree without it has no root, a tree with it is rooted on it.
    const std::string rooted = table_of({"--table", "--root", "Metazoa", "Choano",
                                         trees.path("no_outgroup.nwk"), trees.path("sisters.nwk")});
    const std::string plain = table_of({"--table", "--outliers", "1", "Choano",
                                        trees.path("sisters.nwk"), trees.path("unnamed.nwk"),
                                        trees.path("not_a_clade.nwk"), trees.path("no_target.nwk"),
                                        trees.path("whole_tree.nwk"), trees.path("malformed.nwk"),
                                        trees.path("ambiguous.nwk"), trees.path("absent.nwk")});

    std::array<std::size_t, kTreeStatusCount> written{};
    for (const std::string* table : {&rooted, &plain}) {
        std::istringstream lines(*table);
        std::string line;
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line, table_header());
        while (std::getline(lines, line)) {
            TableFields fields;
            fields.split(line);
            const std::optional<TreeStatus> status = status_named(fields[Column::kStatus]);
            ASSERT_TRUE(status.has_value()) << line;
            ++written[static_cast<std::size_t>(*status)];
        }
    }
    for (std::size_t i = 0; i < kTreeStatusCount; ++i)
        EXPECT_GT(written[i], 0u) << status_name(static_cast<TreeStatus>(i)) << " never written";

    Tally tally;
    ReportReader reader(tally);
    std::istringstream both(rooted + plain);
    ASSERT_TRUE(reader.read(both, "tables")) << reader.error();
    EXPECT_TRUE(tally.table_read());
    EXPECT_EQ(tally.trees_with_sister(), written[static_cast<std::size_t>(TreeStatus::kSisters)]);
    std::size_t rows = 0;
    for (std::size_t i = 0; i < kTreeStatusCount; ++i) {
        rows += written[i];
        const auto status = static_cast<TreeStatus>(i);
        if (status != TreeStatus::kSisters) {
            EXPECT_EQ(tally.status_count(status), written[i]) << status_name(status);
        }
    }
    EXPECT_EQ(tally.tree_count(), rows);
    const std::vector<PairSummary> pairs = tally.summarise({70});
    ASSERT_FALSE(pairs.empty());
    EXPECT_EQ(pairs[0].target, "Choano");
}

}  // namespace

}  // namespace tavrin::summary
