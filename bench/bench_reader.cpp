// Times the two Newick readers on the same tree file, in one process: the classic dialect (on
// the file's lines joined, as the driver reads it) and standard Newick (on the file's bytes).
//
//   tavrin_bench_reader TREE_FILE [ROUNDS]
//
// Each round reads the file once with each reader, the first of the two alternating from round
// to round, and releases each tree before the next reading, so both start from the same memory.
// Prints the median reading time of each (the release not included) and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds to read the one tree of `text`; false in `ok` when it gave none.
double time_reading(const std::string& text, tavrin::Dialect dialect, bool& ok) {
    tavrin::ReadOptions options;
    options.dialect = dialect;
    const Clock::time_point start = Clock::now();
    tavrin::TreeReader reader(text, options);
    std::optional<tavrin::TreeRead> read = reader.next();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ok = read && read->tree && read->tree->root;
    return seconds;
}

}  // namespace

int run_main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TREE_FILE [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string joined, bytes;
    if (!tavrin::read_tree_file(argv[1], joined) || !tavrin::read_file(argv[1], bytes)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<double> classic, standard;
    for (int r = 0; r < rounds; ++r) {
        bool ok_classic = false, ok_standard = false;
        if (r % 2 == 1)
            standard.push_back(time_reading(bytes, tavrin::Dialect::kStandard, ok_standard));
        classic.push_back(time_reading(joined, tavrin::Dialect::kClassic, ok_classic));
        if (r % 2 == 0)
            standard.push_back(time_reading(bytes, tavrin::Dialect::kStandard, ok_standard));
        if (!ok_classic || !ok_standard) {
            std::fprintf(stderr, "%s is not one tree both readers read\n", argv[1]);
            return 1;
        }
    }
    const double c = median(classic), s = median(standard);
    std::printf("%s: classic %.4f s, standard %.4f s, standard / classic %.2f (medians of %d)\n",
                argv[1], c, s, s / c, rounds);
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
