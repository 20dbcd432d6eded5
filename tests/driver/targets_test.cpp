// --targets: what a run writes for each file is byte for byte what the runs of one target each
// write for that file, in list order (the table's header once); each target's closing warnings
// then, in list order; the highest status; a fatal error ends the run where the runs of one
// target would have ended it. Threads change nothing. Pictures of several targets and labels
// share one folder, each named and stamped with its own target.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "draw/picture_file.h"
#include "driver/app.h"
#include "output/messages.h"
#include "support/driver_runs.h"
#include "support/golden_cases.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

const std::string kSource = TAVRIN_SOURCE_DIR;

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The closing warnings at the end of a run's standard error, and what comes before them.
bool closing_line(const std::string& line) {
    return line.rfind(messages::kWarning, 0) == 0 &&
           (line.find(messages::kThreeWayRoots) != std::string::npos ||
            line.find(messages::kRootEntryUnmatched) != std::string::npos ||
            line.find(messages::kNoTargetLeaf) != std::string::npos ||
            line.find(messages::kNoSeparatorBefore) != std::string::npos ||
            line.find(messages::kUnmatchedMemberOne) != std::string::npos ||
            line.find(messages::kUnmatchedMembers) != std::string::npos);
}
std::pair<std::string, std::string> split_closing(const std::string& err) {
    std::size_t end = err.size();
    while (end > 0) {
        const std::size_t start = err.rfind('\n', end - 2 < end ? end - 2 : 0);
        const std::size_t from = start == std::string::npos || end < 2 ? 0 : start + 1;
        if (!closing_line(err.substr(from, end - from))) break;
        end = from;
    }
    return {err.substr(0, end), err.substr(end)};
}

// A run with standard output and standard error on one stream, as on a terminal: what it wrote
// is `out`.
Written run_on_one_stream(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream both;
    Written written;
    written.status = run(args, in, both, both);
    written.out = both.str();
    return written;
}

// What `Tavrin <leading> --targets T1,T2... <positional> <files>` must write, from the runs of
// one target each (made by `runner`): over each file alone for what is written per file, over
// all the files for the closing warnings.
Written expected(const std::vector<std::string>& leading, const std::vector<std::string>& targets,
                 const std::vector<std::string>& positional, const std::vector<std::string>& files,
                 Written (*runner)(const std::vector<std::string>&) = run_args) {
    const bool table = std::find(leading.begin(), leading.end(), "--table") != leading.end();
    Written want;
    std::string closing;
    for (const std::string& target : targets) {
        const Written all = runner(joined(joined(leading, positional), joined({target}, files)));
        closing += split_closing(all.err.empty() ? all.out : all.err).second;
    }
    for (const std::string& file : files) {
        for (const std::string& target : targets) {
            const Written one = runner(joined(joined(leading, positional), {target, file}));
            std::string out = one.out;
            if (table) {
                const std::size_t header = out.find('\n') + 1;
                if (want.out.empty()) want.out = out.substr(0, header);
                out.erase(0, header);
            }
            const bool ends =
                one.status != 0 && !(table && out.find("\tunreadable\t") != std::string::npos);
            // On one stream, the closing warnings end the run's only text.
            want.out += ends ? out : split_closing(out).first;
            want.err += ends ? one.err : split_closing(one.err).first;
            want.status = std::max(want.status, one.status);
            if (ends) return want;
        }
    }
    (runner == run_args ? want.err : want.out) += closing;
    return want;
}

std::string listed(const std::vector<std::string>& targets) {
    std::string list;
    for (const std::string& target : targets)
        list += (list.empty() ? "" : ",") + target;
    return list;
}

std::vector<std::string> genes(const char* program, int count) {
    std::vector<std::string> files;
    for (int i = 1; i <= count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "g%03d.nwk", i);
        files.push_back(kSource + "/bench/genes/" + program + "/" + name);
    }
    return files;
}

// A tree file named `name` in the test's temporary folder holding `text`; its path.
std::string tree_file(const std::string& name, const char* text) {
    const fs::path path = fs::path(::testing::TempDir()) /
                          ("targets_" + name + "_" + std::to_string(getpid()) + ".nwk");
    std::ofstream(path) << text;
    return path.string();
}

// A run of several targets: its options before `--targets`, the targets, what follows them (a
// group file, --E) and the tree files.
struct TargetsCase {
    const char* what;
    std::vector<std::string> leading, targets, positional, files;
};

// `c` run with --targets, at 1 and at 4 threads, writes what its runs of one target each write
// (both made by `runner`).
void expect_as_runs_of_one_target(const TargetsCase& c,
                                  Written (*runner)(const std::vector<std::string>&)) {
    SCOPED_TRACE(c.what);
    const Written want = expected(c.leading, c.targets, c.positional, c.files, runner);
    for (const char* threads : {"1", "4"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const Written got = runner(
            joined(joined(joined(c.leading, {"--threads", threads, "--targets", listed(c.targets)}),
                          c.positional),
                   c.files));
        EXPECT_EQ(got.status, want.status);
        EXPECT_EQ(got.out, want.out);
        EXPECT_EQ(got.err, want.err);
    }
}

TEST(Targets, WriteWhatTheRunsOfOneTargetWriteFileByFile) {
    const std::string groups = kSource + "/bench/genes/groups.txt";
    const std::string examples = kSource + "/examples/";
    const std::vector<std::string> gene_targets = {"Choano", "Fungi", "Metazoa", "Amoebozoa"};
    // Two trees, for the standard reader.
    const std::string several =
        tree_file("two",
                  "((Choano-a,Choano-b)90,(Fungi-f,(Metazoa-m,Metazoa-n)80)70);\n"
                  "((Choano-a,Fungi-f)60,(Metazoa-m,(Choano-b,Metazoa-n)50)40);\n");
    // The midpoint lies on the long branch of Fungi's one outlier: set aside, the leaf takes the
    // midpoint with it, so the targets rooted on the tree as read and those rooted on the tree
    // without it root differently.
    const std::string long_outlier = tree_file("long",
                                               "((Fungi-1:1,(Fungi-2:1,Metazoa-x:50):1):1,"
                                               "(Choano-1:1,(Choano-2:3,Metazoa-m:2):1):1);\n");
    // An outgroup that holds target leaves roots the tree without them: in a place of each
    // target's own, so that the clades one target names are not another's.
    const std::string outgroup_tree =
        tree_file("outgroup",
                  "(((B-3:0.47,B-4:0.7)31:0.79,(B-6:0.97,A-0:0.29)32:0.25)48:0.81,(B-5:0.17,"
                  "((C-2:0.01,B-7:0.84)28:0.97,B-1:0.09)45:0.48)33:0.89)46:0.27;\n");
    const std::string outgroup_groups = tree_file("outgroup_groups", "G A\nG B\nH C\nH G\n");
    const TargetsCase cases[] = {
        {"the table, rooted, with outliers",
         {"--table", "--standard-newick", "--root", "midpoint", "--outliers", "2"},
         gene_targets,
         {"--groupFile", groups},
         genes("raxml", 6)},
        {"the report and its messages, a target never seen",
         {"--standard-newick", "--sister-purity", "0.8"},
         {"Choano", "Absent", "Fungi"},
         {"--groupFile", groups},
         genes("fasttree", 5)},
        {"the classic reader: a malformed file, an outgroup never seen",
         {"--root", "Nowhere,given"},
         {"Choano", "Fungi", "Metazoa"},
         {"--groupFile", examples + "groups.txt"},
         {examples + "t1.nwk", examples + "t2.nwk", examples + "t3.nwk", examples + "t4.nwk"}},
        {"a file that cannot be opened ends the report",
         {},
         {"Choano", "Metazoa"},
         {"--groupFile", examples + "groups.txt"},
         {examples + "t1.nwk", examples + "missing.nwk", examples + "t2.nwk"}},
        {"a file that cannot be opened is a row of the table",
         {"--table"},
         {"Choano", "Metazoa"},
         {},
         {examples + "t1.nwk", examples + "missing.nwk", examples + "t2.nwk"}},
        {"a bad pattern ends the run where its target's first tree is",
         {"--table"},
         {"Cho.*", "Fun(gi", "Metazoa"},
         {"--E"},
         {examples + "t1.nwk", examples + "t2.nwk"}},
        {"the last target's bad pattern ends the run after the rows before it",
         {"--table"},
         {"Cho.*", "Metazoa", "Fun(gi"},
         {"--E"},
         {examples + "t1.nwk", examples + "t2.nwk"}},
        {"files of several trees, a burn-in",
         {"--standard-newick", "--burnin", "1", "--table"},
         {"Choano", "Metazoa"},
         {},
         {several, kSource + "/tests/data/bayesian/g1.nex.run1.t", several}},
        {"the midpoint of the tree as read and of the tree without an outlier",
         {"--table", "--root", "midpoint", "--outliers", "1"},
         {"Choano", "Fungi", "Metazoa", "Fungi-2"},
         {},
         {long_outlier}},
        {"an outgroup that holds target leaves",
         {"--table", "--root", "G"},
         {"A", "B", "C"},
         {"--groupFile", outgroup_groups},
         {outgroup_tree}},
        {"supports in comments",
         {"--standard-newick", "--support-attribute", "prob", "--outliers", "1"},
         {"Choano", "Fungi"},
         {},
         {kSource + "/tests/data/bayesian/g2.nex.con.tre", several}},
    };
    // Also with standard output and error on one stream, as on a terminal: the rows of the
    // targets after the first may go out with a later write, never after a message or the
    // run's end that follows them.
    for (const TargetsCase& c : cases) {
        expect_as_runs_of_one_target(c, run_args);
        expect_as_runs_of_one_target(c, run_on_one_stream);
    }
    for (const std::string& made : {several, long_outlier, outgroup_tree, outgroup_groups})
        fs::remove(made);
}

TEST(Targets, ListsThatCannotBeTakenAreUsageErrors) {
    const std::string file = kSource + "/examples/t1.nwk";
    const std::pair<std::string, std::string> cases[] = {
        {"", "Empty list for --targets: ''"},
        {"A,,B", "Empty entry in the list for --targets: 'A,,B'"},
        {"A,", "Empty entry in the list for --targets: 'A,'"},
        {"A,B,A", "Repeated entry in the list for --targets: 'A'"},
        {"A\\,B,A,B,A\\,B", "Repeated entry in the list for --targets: 'A,B'"},
        {std::string(1000, ','), "Too many entries in the list for --targets: '" +
                                     std::string(1000, ',') + "' (at most 1000)"},
    };
    for (const auto& [list, message] : cases) {
        const Written got = run_args({"--targets", list, file});
        EXPECT_EQ(got.status, 2) << list;
        EXPECT_EQ(got.out, "") << list;
        EXPECT_EQ(got.err, message + "\n") << list;
    }
    // "\," is a comma within a target; 1000 targets are taken.
    std::string thousand;
    for (int i = 0; i < 1000; ++i)
        thousand += (i ? "," : "") + std::to_string(i);
    const Written many = run_args({"--targets", thousand, "--table", file});
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(std::count(many.out.begin(), many.out.end(), '\n'), 1001);
    const Written comma = run_args({"--table", "--targets", "Cho\\,x,Choano", file});
    EXPECT_NE(comma.out.find("\tCho,x\tno-target\t"), std::string::npos);
    EXPECT_NE(comma.out.find("\tChoano\tsisters\t"), std::string::npos);
}

// Four targets and two labels drawing into one folder: every row has its own picture, named with
// its label, number and target, recording its file, tree, target and label; nothing is replaced.
TEST(Targets, PicturesOfSeveralTargetsAndLabelsShareOneFolder) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("targets_pictures_" + std::to_string(getpid()));
    fs::remove_all(dir);
    const std::vector<std::string> targets = {"Choano", "Fungi", "Metazoa", "Amo_eba"};
    const std::vector<std::string> files = genes("iqtree", 3);
    std::size_t rows = 0;
    for (const std::string label : {"iq", "fast"}) {
        const Written got = run_args(joined(
            {"--table", "--standard-newick", "--label", label, "--draw", dir.string(), "--targets",
             listed(targets), "--groupFile", kSource + "/bench/genes/groups.txt"},
            files));
        ASSERT_EQ(got.status, 0);
        EXPECT_EQ(got.err.find("replaced"), std::string::npos) << got.err;
        std::size_t n = 0;
        for (const std::string& file : files) {
            for (const std::string& target : targets) {
                const PictureIdentity identity({file, 1, false, target, label});
                const fs::path picture = dir / identity.name(++n);
                std::string svg;
                ASSERT_TRUE(golden_cases::read_whole(picture, svg)) << picture;
                EXPECT_EQ(recorded_source(svg), std::optional<std::string_view>(identity.source()));
                EXPECT_NE(svg.find("Target: " + target), std::string::npos) << picture;
            }
        }
        rows += n;
    }
    EXPECT_EQ(static_cast<std::size_t>(
                  std::distance(fs::directory_iterator(dir), fs::directory_iterator())),
              rows);
    EXPECT_TRUE(fs::exists(dir / "iq_000004_Amo%5Feba_g001.svg"));
    fs::remove_all(dir);
}

}  // namespace

}  // namespace tavrin
