// Random trees written two ways: as the classic dialect writes them (one line, nothing around
// the tokens) and as standard Newick with quotes, comments, blanks, tabs and CRLF between and
// inside the tokens. Both texts describe the same tree, except that standard Newick mends the
// support of the fold under a root of three or more children (see `root_children`).
//
// Lengths always follow ':' and an internal label without a length never stands alone, so the
// classic dialect's two extra readings of lengths (from a leaf name, from a bare label) do not
// arise.
#ifndef TAVRIN_TESTS_SUPPORT_RANDOM_NEWICK_H
#define TAVRIN_TESTS_SUPPORT_RANDOM_NEWICK_H

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace tavrin {

namespace random_newick {

struct Written {
    std::string classic;   // without the final ';'
    std::string standard;  // without the final ';'
    std::size_t root_children = 0;
};

class Writer {
public:
    explicit Writer(std::mt19937& rng) : rng_(rng) {}

    Written tree(int leaves) {
        std::vector<Written> items;
        for (int i = 0; i < leaves; ++i)
            items.push_back(leaf(i));
        while (items.size() > 1) {
            const size_t width = std::min<size_t>(items.size(), 2 + rng_() % 3);
            const size_t at = rng_() % (items.size() - width + 1);
            Written node = internal(items, at, width);
            items.erase(items.begin() + static_cast<long>(at),
                        items.begin() + static_cast<long>(at + width));
            items.insert(items.begin() + static_cast<long>(at), node);
        }
        return items[0];
    }

private:
    // Nothing, or blanks, line ends and comments, as tree writers and editors put them.
    std::string gap() {
        static const char* const kGaps[] = {
            " ", "\t", "\r\n", "\n  ", "[&&NHX:S=x]", "[]", " [a comment, with (punctuation);] "};
        return rng_() % 3 == 0 ? kGaps[rng_() % 7] : "";
    }
    std::string number() {
        static const char* const kNumbers[] = {"0.1", "2", "0.0035", "1e-3", "12.5", "100"};
        return kNumbers[rng_() % 6];
    }
    std::string label() {
        static const char* const kLabels[] = {"95",  "98.5/99", "99.6/100/0.98", "clade", "0.87",
                                              "/75", "70/"};
        return kLabels[rng_() % 7];
    }
    static std::string quoted(const std::string& name) {
        std::string out = "'";
        for (const char c : name)
            out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    }

    Written leaf(int i) {
        static const char* const kNames[] = {"Metazoa-Hs",    "Fungi-Sc", "Plants@At", "Protist|Tb",
                                             "Homo sapiens-", "O'Brien-", "Mus_mus-"};
        const std::string name = kNames[rng_() % 7] + std::to_string(i);
        const bool must_quote = name.find_first_of(" '") != std::string::npos;
        Written w;
        w.classic = name;
        w.standard = gap() + (must_quote || rng_() % 4 == 0 ? quoted(name) : name) + gap();
        if (rng_() % 3 != 0) {
            const std::string length = number();
            w.classic += ":" + length;
            w.standard += ":" + gap() + length + gap();
        }
        return w;
    }

    Written internal(const std::vector<Written>& items, size_t at, size_t width) {
        Written w;
        w.root_children = width;
        w.classic = "(";
        w.standard = gap() + "(";
        for (size_t k = 0; k < width; ++k) {
            w.classic += (k ? "," : "") + items[at + k].classic;
            w.standard += (k ? "," : "") + items[at + k].standard;
        }
        w.classic += ")";
        w.standard += ")" + gap();
        switch (rng_() % 3) {
            case 0: {
                const std::string l = label(), length = number();
                w.classic += l + ":" + length;
                w.standard += (rng_() % 2 ? quoted(l) : l) + gap() + ":" + gap() + length;
                break;
            }
            case 1: {
                const std::string length = number();
                w.classic += ":" + length;
                w.standard += ":" + gap() + length;
                break;
            }
            default:
                break;
        }
        w.standard += gap();
        return w;
    }

    std::mt19937& rng_;
};

}  // namespace random_newick

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_RANDOM_NEWICK_H
