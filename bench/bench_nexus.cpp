// Times the reading of the same trees written as a NEXUS file and as plain Newick, in one
// process:
//
//   tavrin_bench_nexus [TREES [LEAVES [ROUNDS [DIR]]]]   (default 10000 trees of 100 leaves, 7)
//
// Two pairs of texts, both made here from one fixed seed:
//   sampled    as MrBayes writes its sampled trees (.t): a TRANSLATE table, leaves written as
//              its numbers, lengths such as 9.404582e-02, no supports; against the same trees
//              with the leaves' names.
//   supported  as a consensus or summary tree: the support of each internal node in a comment,
//              [&prob=9.70000000e-01,prob(percent)="97"], read with the support attribute prob;
//              against the same trees with the same number as the label, 9.70000000e-01.
// Each round reads every tree of each text once (TreeReader, standard Newick, every tree
// released before the next), the two texts of a pair alternating which goes first. Prints the
// median time of each and the ratio NEXUS / plain. With DIR, the four texts are also written
// there (sampled.nex, sampled.nwk, supported.nex, supported.nwk) for timing whole runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tree/tree_reader.h"

namespace tavrin {

namespace {

using Clock = std::chrono::steady_clock;

class Random {
public:
    explicit Random(unsigned long long seed) : state_(seed) {}
    unsigned long long next() {
        unsigned long long z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned bound) { return static_cast<unsigned>(next() % bound); }

private:
    unsigned long long state_;
};

const char* const kGroups[] = {"Choano", "Metazoa", "Fungi", "Amoebozoa", "Viridi", "Excavata"};

struct Texts {
    std::string nexus, plain;
};

// One random tree of `leaves` leaves (a random join of pairs, the root of three as MrBayes
// writes it) into both texts: `names` of the plain text, numbers of the NEXUS one.
void add_tree(Random& random, unsigned tree, unsigned leaves, bool supported, Texts& texts) {
    std::vector<std::pair<std::string, std::string>> items;  // NEXUS, plain
    char number[64];
    auto length = [&]() {
        std::snprintf(number, sizeof number, ":%.6e", (1 + random.below(100000)) * 1e-6);
        return std::string(number);
    };
    for (unsigned i = 0; i < leaves; ++i) {
        const std::string name = std::string(kGroups[i % 6]) + "-Gene" + std::to_string(i);
        const std::string l = length();
        items.push_back({std::to_string(i + 1) + l, name + l});
    }
    while (items.size() > 3) {
        const unsigned a = random.below(static_cast<unsigned>(items.size() - 1));
        const unsigned percent = 50 + random.below(51);
        const std::string l = length();
        std::pair<std::string, std::string> node{
            "(" + items[a].first + "," + items[a + 1].first + ")",
            "(" + items[a].second + "," + items[a + 1].second + ")"};
        if (supported) {
            std::snprintf(number, sizeof number, "[&prob=%.8e,prob(percent)=\"%u\"]",
                          percent / 100.0, percent);
            node.first += number;
            std::snprintf(number, sizeof number, "%.8e", percent / 100.0);
            node.second += number;
        }
        node.first += l;
        node.second += l;
        items[a] = node;
        items.erase(items.begin() + a + 1);
    }
    texts.nexus += "   tree gen." + std::to_string(tree * 1000) + " = [&U] (" + items[0].first +
                   "," + items[1].first + "," + items[2].first + ");\n";
    texts.plain += "(" + items[0].second + "," + items[1].second + "," + items[2].second + ");\n";
}

Texts make_texts(unsigned trees, unsigned leaves, bool supported) {
    Texts texts;
    std::string table = "#NEXUS\nbegin trees;\n   translate\n";
    for (unsigned i = 0; i < leaves; ++i) {
        table += "      " + std::to_string(i + 1) + " " + kGroups[i % 6] + "-Gene" +
                 std::to_string(i) + (i + 1 < leaves ? ",\n" : ";\n");
    }
    Random random(20261208);
    for (unsigned t = 0; t < trees; ++t)
        add_tree(random, t, leaves, supported, texts);
    texts.nexus = table + texts.nexus + "end;\n";
    return texts;
}

// Seconds to read every tree of `text`; the count of trees read in `count`.
double time_reading(const std::string& text, const tavrin::ReadOptions& options, size_t& count) {
    const Clock::time_point start = Clock::now();
    tavrin::TreeReader reader(text, options);
    count = 0;
    while (std::optional<tavrin::TreeRead> read = reader.next())
        count += read->tree != nullptr;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int run_main(int argc, char** argv) {
    const unsigned trees = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 10000;
    const unsigned leaves = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 100;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 7;
    if (trees < 1 || leaves < 3 || rounds < 1) {
        std::fprintf(stderr, "usage: %s [TREES [LEAVES [ROUNDS [DIR]]]]\n", argv[0]);
        return 2;
    }
    std::printf("| texts (%u trees of %u leaves) | NEXUS | plain Newick | NEXUS / plain |\n", trees,
                leaves);
    std::printf("|---|---:|---:|---:|\n");
    for (const bool supported : {false, true}) {
        const Texts texts = make_texts(trees, leaves, supported);
        const char* name = supported ? "supported" : "sampled";
        if (argc > 4) {
            write(std::string(argv[4]) + "/" + name + ".nex", texts.nexus);
            write(std::string(argv[4]) + "/" + name + ".nwk", texts.plain);
        }
        tavrin::ReadOptions nexus, plain;
        nexus.dialect = plain.dialect = tavrin::Dialect::kStandard;
        if (supported) nexus.support_attribute = "prob";
        std::vector<double> t_nexus, t_plain;
        for (int r = 0; r < rounds; ++r) {
            size_t n_nexus = 0, n_plain = 0;
            if (r % 2 == 0) t_nexus.push_back(time_reading(texts.nexus, nexus, n_nexus));
            t_plain.push_back(time_reading(texts.plain, plain, n_plain));
            if (r % 2 == 1) t_nexus.push_back(time_reading(texts.nexus, nexus, n_nexus));
            if (n_nexus != trees || n_plain != trees) {
                std::fprintf(stderr, "%s: read %zu and %zu trees of %u\n", name, n_nexus, n_plain,
                             trees);
                return 1;
            }
        }
        const double a = median(t_nexus), b = median(t_plain);
        std::printf("| %s (%.1f MB / %.1f MB) | %.3f s | %.3f s | %.2f |\n", name,
                    texts.nexus.size() / 1e6, texts.plain.size() / 1e6, a, b, a / b);
    }
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
