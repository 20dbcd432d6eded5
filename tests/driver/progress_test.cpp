// --progress changes nothing the run writes or returns: standard output, the messages and the
// status are those of the run without it (with the closing warnings of any leading option),
// followed by one closing line with the run's files and trees (the rows written, also with
// threads and for runs that end early).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/app.h"
#include "support/driver_runs.h"

namespace tavrin {

namespace {

const std::string kGenes = TAVRIN_SOURCE_DIR "/bench/genes";
const std::string kExamples = TAVRIN_SOURCE_DIR "/examples";
const std::string kBayesian = TAVRIN_SOURCE_DIR "/tests/data/bayesian";

// `err` without the progress updates a slow run may have written; its closing line apart.
std::string without_updates(const std::string& err, std::string& closing) {
    static const std::regex update(
        R"(Tavrin: \d+/\d+ files?, \d+ trees?, [\d.]+ trees/s, [\d.:]+( s)? elapsed(, about [\d.:]+( s)? left)?)");
    static const std::regex last(R"(Tavrin: \d+ files?, \d+ trees? in [\d.:]+( s)?)");
    std::istringstream lines(err);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, update)) continue;
        if (std::regex_match(line, last)) {
            closing = line;
            continue;
        }
        kept += line + '\n';
    }
    return kept;
}

TEST(Progress, ChangesNothingButAddsTheClosingLine) {
    const std::string groups = kExamples + "/groups.txt";
    const std::string t1 = kExamples + "/t1.nwk", t2 = kExamples + "/t2.nwk",
                      t3 = kExamples + "/t3.nwk", t4 = kExamples + "/t4.nwk";
    const std::string missing = "/nonexistent/t.nwk";
    const struct {
        std::vector<std::string> args;
        const char* counts;  // of the closing line
        // The closing warnings a leading option brings to the contract's own command line.
        const char* warned = "";
    } cases[] = {
        // Malformed and unreadable trees are rows of the run too.
        {{"--groupFile", groups, "Choano", t1, t3, t2},
         "3 files, 3 trees",
         "Warning: 1 group file member matches no leaf: 'Amoebozoa' (group Amorphea)\n"},
        {{"--table", "--threads", "3", "--groupFile", groups, "Choano", t1, t3, t4, t2},
         "4 files, 4 trees"},
        {{"--table", "--groupFile", groups, "Choano", t1, missing, t2}, "3 files, 3 trees"},
        // The report ends at a file that cannot be opened: the file before it is done.
        {{"--groupFile", groups, "Choano", t1, missing, t2}, "1 file, 2 trees"},
        {{"--standard-newick", "--support-field", "2", "--root", "Excavata,midpoint", "--table",
          "--threads", "2", "--groupFile", kGenes + "/groups.txt", "Viridi",
          kGenes + "/iqtree/g001.nwk", kGenes + "/iqtree/g002.nwk", kGenes + "/raxml/g003.nwk"},
         "3 files, 3 trees"},
        // Files of several trees are done at their end; a file whose trees are all burnt in
        // is done too.
        {{"--table", "--standard-newick", "--support-attribute", "prob", "--burnin", "2",
          "--threads", "3", "Choano", kBayesian + "/g1.nex.run1.t", t1,
          kBayesian + "/g2.nex.run1.t"},
         "3 files, 38 trees"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> with = c.args;
        with.insert(with.begin(), "--progress");
        const Written plain = run_args(c.args);
        const Written told = run_args(with);
        SCOPED_TRACE(c.counts);
        EXPECT_EQ(told.status, plain.status);
        EXPECT_EQ(told.out, plain.out);
        std::string closing;
        EXPECT_EQ(without_updates(told.err, closing), plain.err + c.warned);
        EXPECT_EQ(closing.substr(0, closing.find(" in ")), std::string("Tavrin: ") + c.counts);
    }
}

TEST(Progress, IsALeadingOptionGivenOnce) {
    const std::string t1 = kExamples + "/t1.nwk";
    EXPECT_EQ(run_args({"--progress", "--progress", "Choano", t1}).status, 2);
    // After the search prefix it is a tree file's name, as any leading option is.
    const Written late = run_args({"Choano", t1, "--progress"});
    EXPECT_EQ(late.err.find("Tavrin: "), std::string::npos);
}

}  // namespace

}  // namespace tavrin
