// Times sister naming that tolerates strays against the naming of every leaf, side by side.
//
//   tavrin_bench_purity TREE_FILE PREFIX PURITY [GROUP_FILE|-] [ROUNDS] [ROOT_LIST]
//
// Each round reads the tree afresh for every run and times, at purity 1 and at PURITY (in
// turns, the first of the two alternating from round to round):
//   analysis  the analysis as the table runs it (analyse with the outliers needed, none set
//             aside): search, sister naming, strays, support;
//   whole     reading the tree, the analysis and releasing the tree, as the driver does for one
//             tree file;
//   naming    the clade name of the whole tree alone: clade_name against clade_name_at_purity.
// Prints the median of each over the rounds, the ratios, and what the two analyses answered.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "platform/files.h"
#include "platform/huge_pages.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

// Processor time of the process, in milliseconds: on a machine shared with other work, wall
// time mostly measures the others.
double now_ms() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The times of one setting over the rounds, and its last answer.
struct Runs {
    std::vector<double> analysis, whole, naming;
    AnalysisResult last;
    std::string whole_tree_name;
};

void time_once(const std::string& text, const AnalysisSettings& settings, Runs& runs) {
    const double start = now_ms();
    auto tree = std::make_unique<Phylogeny>(text);
    const double read = now_ms();
    AnalysisNeeds needs;
    needs.outliers = true;
    runs.last = analyse(*tree, settings, needs);
    const double analysed = now_ms();
    tree.reset();
    runs.analysis.push_back(analysed - read);
    runs.whole.push_back(now_ms() - start);
}

void time_naming(const Phylogeny& tree, const AnalysisSettings& settings, Runs& runs) {
    const double start = now_ms();
    runs.whole_tree_name = clade_name_at_purity(
        NamingRule{settings.groups, settings.separator, settings.purity}, tree.root);
    runs.naming.push_back(now_ms() - start);
}

void print_answer(const std::string& label, const Runs& runs) {
    std::printf("  %s: sisters", label.c_str());
    for (const std::string& name : runs.last.sisters)
        std::printf(" %s", name.c_str());
    std::printf(", %zu strays; the whole tree named \"%s\"\n", runs.last.strays.size(),
                runs.whole_tree_name.c_str());
}

}  // namespace

int run_main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s TREE_FILE PREFIX PURITY [GROUP_FILE|-] [ROUNDS] [ROOT_LIST]\n",
                     argv[0]);
        return 2;
    }
    // As the driver does: freed memory stays with the process for the next round.
    keep_freed_memory();
    std::string text;
    if (!read_tree_file(argv[1], text)) {
        std::fprintf(stderr, "cannot read the tree file %s\n", argv[1]);
        return 1;
    }
    AnalysisSettings whole_settings;
    whole_settings.prefix = argv[2];
    if (!Analysis(whole_settings).pattern_error().empty()) return 1;
    const std::string group_file = argc > 4 ? argv[4] : "-";
    if (group_file != "-" &&
        whole_settings.groups.load(group_file) != GroupRelations::LoadResult::kLoaded) {
        std::fprintf(stderr, "cannot read the group file %s\n", group_file.c_str());
        return 1;
    }
    if (argc > 6 && !parse_root_list(argv[6], whole_settings.root)) {
        std::fprintf(stderr, "not a root list: %s\n", argv[6]);
        return 1;
    }
    AnalysisSettings tolerant = whole_settings;
    tolerant.purity = std::atof(argv[3]);
    const int rounds = argc > 5 ? std::max(1, std::atoi(argv[5])) : 5;

    Runs at_one, below_one;
    const Phylogeny named(text);
    for (int r = 0; r < rounds; ++r) {
        const bool one_first = r % 2 == 0;
        time_once(text, one_first ? whole_settings : tolerant, one_first ? at_one : below_one);
        time_once(text, one_first ? tolerant : whole_settings, one_first ? below_one : at_one);
        time_naming(named, whole_settings, at_one);
        time_naming(named, tolerant, below_one);
    }
    std::printf("%s, prefix %s, %s, root list %s, %d rounds (processor time, medians)\n", argv[1],
                argv[2], group_file == "-" ? "no group file" : group_file.c_str(),
                argc > 6 ? argv[6] : "none", rounds);
    const auto line = [&](const char* what, const std::vector<double>& one,
                          const std::vector<double>& below) {
        std::printf("  %-9s purity 1 %8.1f ms   purity %s %8.1f ms   ratio %.3f\n", what,
                    median(one), argv[3], median(below), median(below) / median(one));
    };
    line("analysis", at_one.analysis, below_one.analysis);
    line("whole", at_one.whole, below_one.whole);
    line("naming", at_one.naming, below_one.naming);
    print_answer("purity 1", at_one);
    print_answer(std::string("purity ") + argv[3], below_one);
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
