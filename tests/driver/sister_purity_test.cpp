// --sister-purity on the gene trees of bench/genes, as written by FastTree, IQ-TREE and RAxML:
// purity 1 writes exactly what a run without the option writes, under every combination of the
// options that change what is read, how the tree is rooted and what is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/app.h"

namespace tavrin {

namespace {

const std::string kGenes = TAVRIN_SOURCE_DIR "/bench/genes";

// What one run wrote.
struct Output {
    int status = 0;
    std::string out, err;
};

Output run_tavrin(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    Output output;
    output.status = run(args, in, out, err);
    output.out = out.str();
    output.err = err.str();
    return output;
}

std::vector<std::string> tree_files(const std::string& program) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(kGenes + "/" + program)) {
        if (entry.path().extension() == ".nwk") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The leading options of combination `mask`: bit 0 the table, 1 standard Newick, 2 midpoint
// rooting, 3 up to two outliers set aside, 4 the second field of IQ-TREE's labels.
std::vector<std::string> leading_options(unsigned mask) {
    std::vector<std::string> options;
    if (mask & 1u) options.push_back("--table");
    if (mask & 2u) options.push_back("--standard-newick");
    if (mask & 4u) options.insert(options.end(), {"--root", "midpoint"});
    if (mask & 8u) options.insert(options.end(), {"--outliers", "2"});
    if (mask & 16u) options.insert(options.end(), {"--support-field", "2"});
    return options;
}

// The arguments after the leading options: with bit 5 of `mask` the group file.
std::vector<std::string> search(unsigned mask, const std::string& target,
                                const std::vector<std::string>& files) {
    std::vector<std::string> args;
    if (mask & 32u) args.insert(args.end(), {"--groupFile", kGenes + "/groups.txt"});
    args.push_back(target);
    args.insert(args.end(), files.begin(), files.end());
    return args;
}

std::vector<std::string> joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST(SisterPurityRuns, PurityOneWritesTheBytesOfARunWithoutTheOption) {
    std::size_t runs = 0, changed_below_one = 0;
    for (const std::string program : {"fasttree", "iqtree", "raxml"}) {
        const std::vector<std::string> files = tree_files(program);
        ASSERT_EQ(files.size(), 35u) << program;
        for (unsigned mask = 0; mask < 64; ++mask) {
            if ((mask & 16u) != 0 && program != "iqtree") continue;
            const std::vector<std::string> options = leading_options(mask);
            // Each target in turn, so that every combination meets each of them.
            const char* const targets[] = {"Choano", "Fungi", "Stramen", "Viridi"};
            const std::string target = targets[(mask + runs) % 4];
            const std::vector<std::string> rest = search(mask, target, files);
            SCOPED_TRACE(program + " " + target + " combination " + std::to_string(mask));
            const Output plain = run_tavrin(joined(options, rest));
            // The option before or after the others, written as a whole or a decimal number.
            const std::vector<std::string> purity = {"--sister-purity",
                                                     (mask / 2) % 2 ? "1" : "1.000"};
            const Output one = run_tavrin(
                joined(mask % 2 ? joined(options, purity) : joined(purity, options), rest));
            EXPECT_EQ(one.status, plain.status);
            EXPECT_EQ(one.out, plain.out);
            EXPECT_EQ(one.err, plain.err);
            ++runs;
            // Below 1 the option reaches the analysis: some names change somewhere.
            const Output tolerant =
                run_tavrin(joined(joined(options, {"--sister-purity", "0.8"}), rest));
            EXPECT_EQ(tolerant.status, plain.status);
            changed_below_one += tolerant.out != plain.out ? 1 : 0;
        }
    }
    EXPECT_EQ(runs, 3u * 32u + 32u);
    EXPECT_GT(changed_below_one, runs / 2);
}

}  // namespace

}  // namespace tavrin
