// Times the portable paths against the standard library's own, side by side in one run:
// --E patterns on long names and on many short ones (the pattern automaton, which every build
// uses, against std::regex in GCC's linear mode, where that mode exists), and decimal number
// reading (fast_float against std::from_chars, where both exist).
//
//   tavrin_bench_portable [ROUNDS]
//
// Prints one line per measurement with the median over the rounds.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "pattern/pattern_automaton.h"

#if __has_include(<fast_float/fast_float.h>)
#include <fast_float/fast_float.h>
#define BENCH_FAST_FLOAT 1
#endif

namespace tavrin {
namespace {

template <typename Work>
double median_seconds(int rounds, Work work) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

volatile bool sink_bool;
volatile double sink_double;

void bench_pattern(const std::string& pattern, const std::string& name, const char* label,
                   int rounds, bool with_std = true) {
    const std::string wrapped = "[\\s\\S]*?(?:" + pattern + ")";
    const PatternAutomaton automaton(wrapped);
    const double mine = median_seconds(rounds, [&] { sink_bool = automaton.matches_prefix(name); });
    std::printf("pattern %-12s name %-26s automaton %9.4f s", pattern.c_str(), label, mine);
#if defined(__GLIBCXX__)
    if (!with_std) {
        std::printf("\n");
        return;
    }
    const std::regex re(wrapped, std::regex::ECMAScript | std::regex_constants::__polynomial);
    const double theirs = median_seconds(rounds, [&] {
        sink_bool = std::regex_search(
            name.begin(), name.end(), re,
            std::regex_constants::match_any | std::regex_constants::match_continuous);
    });
    std::printf("  std::regex %9.4f s  ratio %.2f", theirs, mine / theirs);
#else
    (void)with_std;
#endif
    std::printf("\n");
}

// Many short names, as a tree's leaves: the cost per name beyond its characters counts here.
void bench_leaf_names(const std::string& pattern, const std::vector<std::string>& names,
                      int rounds) {
    const std::string wrapped = "[\\s\\S]*?(?:" + pattern + ")";
    const PatternAutomaton automaton(wrapped);
    const double mine = median_seconds(rounds, [&] {
        for (const std::string& name : names)
            sink_bool = automaton.matches_prefix(name);
    });
    std::printf("pattern %-12s %zu leaf names          automaton %9.4f s", pattern.c_str(),
                names.size(), mine);
#if defined(__GLIBCXX__)
    const std::regex re(wrapped, std::regex::ECMAScript | std::regex_constants::__polynomial);
    const double theirs = median_seconds(rounds, [&] {
        for (const std::string& name : names)
            sink_bool = std::regex_search(
                name.begin(), name.end(), re,
                std::regex_constants::match_any | std::regex_constants::match_continuous);
    });
    std::printf("  std::regex %9.4f s  ratio %.2f", theirs, mine / theirs);
#endif
    std::printf("\n");
}

}  // namespace

int run_main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::string ab(100000, 'a');
    for (size_t i = 1; i < ab.size(); i += 2)
        ab[i] = 'b';
    const std::string ys(100000, 'y');
    bench_pattern("Choano", ys, "100000 x 'y'", rounds);
    bench_pattern("^Fungi-S", "Fungi-S" + ys, "Fungi-S + 100000 x 'y'", rounds);
    bench_pattern(".*x", ys, "100000 x 'y'", rounds);
    bench_pattern("(a|b)*c", ab, "100000 x 'ab'", rounds);
    bench_pattern("[[:alpha:]]{3}\\d", ab, "100000 x 'ab'", rounds);
    // A lookahead: linear for the automaton, quadratic for std::regex (kept short for it).
    for (const size_t n : {1000, 2000, 4000})
        bench_pattern("(?=.*x)", std::string(n, 'y'), (std::to_string(n) + " x 'y'").c_str(),
                      rounds);
    for (const size_t n : {100000, 1000000})
        bench_pattern("(?=.*x)", std::string(n, 'y'), (std::to_string(n) + " x 'y'").c_str(),
                      rounds, false);

    std::vector<std::string> leaves;
    for (int i = 0; i < 1000000; ++i)
        leaves.push_back((i % 3 != 0 ? "Fungi-Sc" : "Metazoa-Hs") + std::to_string(i));
    bench_leaf_names("^Fungi-S", leaves, rounds);
    bench_leaf_names("Choano", leaves, rounds);
    bench_leaf_names("Fungi(?=-)", leaves, rounds);

    // Numbers as they appear in trees: lengths and supports.
    std::mt19937_64 rng(7);
    std::vector<std::string> numbers;
    for (int i = 0; i < 1000000; ++i) {
        char buffer[64];
        const int n = std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(rng() % 12),
                                    static_cast<double>(rng() % 1000000) / 997.0);
        numbers.emplace_back(buffer, static_cast<size_t>(n));
    }
#if defined(BENCH_FAST_FLOAT)
    const auto read_all = [&](auto reader) {
        double sum = 0;
        for (const std::string& text : numbers) {
            double value = 0;
            reader(text.data(), text.data() + text.size(), value);
            sum += value;
        }
        sink_double = sum;
    };
    const double fast = median_seconds(rounds, [&] {
        read_all([](const char* f, const char* l, double& v) { fast_float::from_chars(f, l, v); });
    });
    std::printf("1000000 numbers  fast_float::from_chars %.4f s", fast);
#if defined(TAVRIN_HAVE_FROM_CHARS_DOUBLE)
    const double standard = median_seconds(rounds, [&] {
        read_all([](const char* f, const char* l, double& v) { std::from_chars(f, l, v); });
    });
    std::printf("  std::from_chars %.4f s  ratio %.2f", standard, fast / standard);
#endif
    std::printf("\n");
#endif
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
