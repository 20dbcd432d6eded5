// Numbers read from tree texts: whatever path a number takes through read_number, it must give
// the double that a correctly rounded conversion (strtod in the C locale) gives, bit for bit, so
// that every length and support prints as before.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "tree/numbers.h"

namespace tavrin {
namespace {

double read(const std::string& text) {
    return read_number(text.data(), text.data() + text.size());
}

// strtod on the number as number_end delimits it, after leading blanks: the reference.
double reference(const std::string& text) {
    const char* first = text.data() + text.find_first_not_of(" \t");
    const char* end = number_end(first, text.data() + text.size());
    if (end == first) return 0;
    return std::strtod(std::string(first, end).c_str(), nullptr);
}

void expect_same_bits(const std::string& text) {
    const double got = read(text);
    const double want = reference(text);
    if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << text;
        return;
    }
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
        << text << ": " << got << " against " << want;
}

TEST(Numbers, EveryFormGivesTheCorrectlyRoundedDouble) {
    const char* cases[] = {
        // the common short decimals, signs and zeros (a negative zero stays negative)
        "0.2789", "56", "100", "0", "-0", "+0.0", "-0.000", ".5", "5.", "-.25", "+7",
        // rounding right at the edge of the one-step path: 15 and 16 significant digits, 2^53
        "123456789012345", "1234567890123456", "9007199254740993", "0.1234567890123456789",
        "0.000000000000000000001", "1e22", "1e23", "1e-22", "1e-23", "123456789012345e-22",
        "123456789012345e7", "4.35e+2", "4.35E-2", "-2.5e3", "7e0", "1.e5",
        // trailing and leading zeros that are not significant, and those that are
        "0000000000000000000000001", "1.0000000000000000000000", "100000000000000000000000",
        // huge and tiny: infinity, subnormals, zero
        "1e308", "1.7976931348623157e308", "1e309", "-1e400", "4.9e-324", "1e-400",
        "2.2250738585072014e-308",
        // numbers followed by text, and texts that start no number
        "12abc", "3.5e", "3.5e+", "2e5x", "e5", "-", ".", "nan", "inf", "-inf", "Nanoarchaeum",
        "  \t42"};
    for (const char* text : cases)
        expect_same_bits(text);
}

TEST(Numbers, RandomDecimalsGiveTheCorrectlyRoundedDouble) {
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        if (random() % 4 == 0) text += random() % 2 ? '-' : '+';
        const int before = static_cast<int>(random() % 10);
        const int after = static_cast<int>(random() % 20);
        for (int d = 0; d < before; ++d)
            text += static_cast<char>('0' + random() % 10);
        if (after > 0 || before == 0) {
            text += '.';
            for (int d = 0; d < std::max(after, 1); ++d)
                text += static_cast<char>('0' + random() % 10);
        }
        if (random() % 3 == 0) {
            text += random() % 2 ? 'e' : 'E';
            if (random() % 2) text += random() % 2 ? '-' : '+';
            text += std::to_string(random() % 40);
        }
        expect_same_bits(text);
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace tavrin
