// Threads change nothing that is written: every run over the gene trees gives with four threads
// the bytes, messages, pictures and status of one thread, a run that ends early ends at the same
// place, and --threads refuses what is not a count.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/app.h"
#include "driver/file_loop.h"
#include "driver/options.h"
#include "driver/output.h"
#include "support/golden_cases.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

const std::string kGenes = TAVRIN_SOURCE_DIR "/bench/genes";

// What one run wrote.
struct Written {
    int status = 0;
    std::string out, err;
    std::map<std::string, std::string> pictures;  // by file name
};

// Runs Tavrin on `args` with `threads` threads; "PICTURES" among the arguments stands for a
// fresh folder whose pictures are kept.
Written run_with(const std::string& threads, std::vector<std::string> args) {
    // A folder of this process's own: tests of this file may run in several processes at once.
    const fs::path pictures = fs::path(::testing::TempDir()) /
                              ("threads_pictures_" + std::to_string(getpid()) + "_" + threads);
    fs::remove_all(pictures);
    for (std::string& arg : args) {
        if (arg == "PICTURES") arg = pictures.string();
    }
    args.insert(args.begin(), {"--threads", threads});
    std::istringstream in;
    std::ostringstream out, err;
    Written result;
    result.status = run(args, in, out, err);
    result.out = out.str();
    result.err = err.str();
    if (fs::is_directory(pictures)) {
        for (const auto& entry : fs::directory_iterator(pictures)) {
            golden_cases::read_whole(entry.path(), result.pictures[entry.path().filename()]);
        }
    }
    fs::remove_all(pictures);
    return result;
}

void expect_same_with_threads(const std::vector<std::string>& args) {
    const Written one = run_with("1", args);
    const Written four = run_with("4", args);
    std::string command;
    for (const std::string& arg : args)
        command += " " + arg;
    SCOPED_TRACE(command);
    EXPECT_EQ(four.status, one.status);
    EXPECT_EQ(four.out, one.out);
    EXPECT_EQ(four.err, one.err);
    EXPECT_EQ(four.pictures, one.pictures);
}

// The gene trees of every program, with a file that is not a tree and one that is missing in
// the middle.
std::vector<std::string> gene_files(bool with_faults) {
    std::vector<std::string> files;
    for (const char* program : {"fasttree", "iqtree", "raxml"}) {
        for (int gene = 1; gene <= 12; ++gene) {
            char name[64];
            std::snprintf(name, sizeof name, "/%s/g%03d.nwk", program, gene);
            files.push_back(kGenes + name);
            if (with_faults && gene == 6) files.push_back(kGenes + "/groups.txt");
        }
    }
    if (with_faults) files.insert(files.begin() + 20, kGenes + "/absent.nwk");
    return files;
}

std::vector<std::string> with(std::vector<std::string> options,
                              const std::vector<std::string>& files) {
    options.insert(options.end(), files.begin(), files.end());
    return options;
}

TEST(Threads, GeneTreesGiveTheBytesOfOneThread) {
    const std::string groups = kGenes + "/groups.txt";
    const std::vector<std::vector<std::string>> option_sets = {
        {"--table", "--groupFile", groups, "Choano"},
        {"--table", "--root", "Excavata,midpoint", "--outliers", "2", "--groupFile", groups,
         "Fungi"},
        {"--draw", "PICTURES", "--root", "midpoint", "--groupFile", groups, "Choano"},
        {"--standard-newick", "--table", "--draw", "PICTURES", "--outliers", "1", "Viridi"},
        {"--standard-newick", "--groupFile", groups, "Metazoa"},
        {"Nothing"},  // no leaf passes: the run's closing warning
        // Outgroups that no tree matches, and trees written unrooted: closing warnings that add
        // up what every tree saw.
        {"--standard-newick", "--root", "Nothing,Excavata,Absent,midpoint", "--groupFile", groups,
         "Metazoa"},
        {"--table", "--outliers", "1", "--groupFile", groups, "Fungi"},
        // Several targets: each tree's leaves numbered on the thread that analyses it.
        {"--table", "--root", "midpoint", "--outliers", "2", "--sister-purity", "0.8", "--targets",
         "Choano,Fungi,Metazoa", "--groupFile", groups},
    };
    for (const auto& options : option_sets) {
        expect_same_with_threads(with(options, gene_files(false)));
        expect_same_with_threads(with(options, gene_files(true)));
    }
    const Written outgroups = run_with("4", with(option_sets[6], gene_files(false)));
    EXPECT_NE(outgroups.err.find("Warning: --root entry 'Absent' matched no leaf in any tree\n"),
              std::string::npos);
    EXPECT_EQ(outgroups.err.find("'Excavata'"), std::string::npos) << outgroups.err;
    const Written unrooted = run_with("4", with(option_sets[7], gene_files(false)));
    EXPECT_NE(unrooted.err.find(" of 36 trees have a three-way root"), std::string::npos)
        << unrooted.err;
}

// Files of several trees are read in order and their trees analysed as the others.
TEST(Threads, FilesOfSeveralTreesAndBurnIn) {
    const std::string data = TAVRIN_SOURCE_DIR "/tests/data/bayesian";
    const std::vector<std::string> files = {data + "/g1.nex.run1.t", data + "/g1.nex.con.tre",
                                            data + "/g2.nex.run1.t", data + "/g3.nex.run1.t"};
    for (const char* burnin : {"0", "3"}) {
        expect_same_with_threads(
            with({"--standard-newick", "--table", "--burnin", burnin, "--support-attribute", "prob",
                  "--draw", "PICTURES", "--groupFile", kGenes + "/groups.txt", "Choano"},
                 files));
        expect_same_with_threads(with({"--standard-newick", "--burnin", burnin, "Choano"}, files));
    }
}

// A run that ends early ends where one thread ends it, whatever was in flight after it.
TEST(Threads, FatalErrorsEndTheRunAtTheSamePlace) {
    const std::vector<std::string> files = gene_files(true);
    // The report ends at the missing file; the group file cannot be read; the pattern is bad.
    expect_same_with_threads(with({"Choano"}, files));
    expect_same_with_threads(with({"--groupFile", kGenes + "/absent.txt", "Choano"}, files));
    expect_same_with_threads(with({"--E", "Cho(ano"}, files));
    // A folder stands where the fifth picture goes: it cannot be written.
    const fs::path blocked =
        fs::path(::testing::TempDir()) / ("threads_blocked_" + std::to_string(getpid()));
    fs::remove_all(blocked);
    fs::create_directories(blocked / "000005_Choano_g005.svg");
    expect_same_with_threads(with({"--draw", blocked.string(), "Choano"}, gene_files(false)));
    EXPECT_FALSE(fs::exists(blocked / "000006_Choano_g006.svg")) << "a picture after the error";
    fs::remove_all(blocked);
    const Written one = run_with("1", with({"Choano"}, files));
    EXPECT_EQ(one.status, 15);
    EXPECT_EQ(one.out.find("raxml"), std::string::npos) << "the run went on after the error";
}

// A step that throws ends the run at its place in the input, with the message and status of one
// thread: never a terminated process. The hook throws in one tree's step, on whichever thread
// runs it; files of several trees throw in a tree after their first.
TEST(Threads, AStepThatThrowsEndsTheRunAsWithOneThread) {
    const std::string bayesian = TAVRIN_SOURCE_DIR "/tests/data/bayesian";
    struct Case {
        std::vector<std::string> args;
        std::string failing;  // the file whose step throws
        std::size_t tree;     // at its tree of this number
    };
    const std::vector<Case> cases = {
        {with({"--table", "Choano"}, gene_files(false)), kGenes + "/fasttree/g005.nwk", 1},
        {with({"Choano"}, gene_files(false)), kGenes + "/raxml/g001.nwk", 1},
        {{"--standard-newick", "Choano", bayesian + "/g1.nex.run1.t", bayesian + "/g2.nex.run1.t"},
         bayesian + "/g1.nex.run1.t",
         4},
    };
    for (const Case& c : cases) {
        const StepCheck fail = [&c](const TreePlace& place) {
            if (place.path == c.failing && place.tree == c.tree) throw std::runtime_error("hook");
        };
        std::vector<Written> runs;
        for (const char* threads : {"1", "4"}) {
            std::vector<std::string> args = c.args;
            args.insert(args.begin(), {"--threads", threads});
            const CommandLine line = parse_command_line(args);
            std::ostringstream out, err;
            RunOutput output(out, err);
            Written written;
            written.status = output.finish(run_files(line.config, nullptr, output, fail));
            written.out = out.str();
            written.err = err.str();
            runs.push_back(written);
        }
        SCOPED_TRACE(c.failing);
        EXPECT_EQ(runs[0].status, 15);
        const std::string message = "Failed while reading " + c.failing + ": hook\n";
        ASSERT_GE(runs[0].err.size(), message.size());
        EXPECT_EQ(runs[0].err.substr(runs[0].err.size() - message.size()), message);
        EXPECT_EQ(runs[1].status, runs[0].status);
        EXPECT_EQ(runs[1].out, runs[0].out);
        EXPECT_EQ(runs[1].err, runs[0].err);
    }
}

TEST(Threads, OptionTakesACountOrAuto) {
    for (const std::string bad : {"0", "1025", "x", "-1", "", "2.5"}) {
        std::istringstream in;
        std::ostringstream out, err;
        EXPECT_EQ(run({"--threads", bad, "Choano", "t.nwk"}, in, out, err), 2) << bad;
        EXPECT_NE(err.str().find(" for --threads: '" + bad + "'"), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << err.str();
    }
    const Written automatic = run_with("auto", {"Choano", kGenes + "/iqtree/g001.nwk"});
    EXPECT_EQ(automatic.status, 0);
    EXPECT_EQ(automatic.out, run_with("1", {"Choano", kGenes + "/iqtree/g001.nwk"}).out);
}

}  // namespace

}  // namespace tavrin
