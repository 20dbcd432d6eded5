// Numbers read from tree texts: whatever path a number takes through read_number, it must give
// the double that a correctly rounded conversion (strtod in the C locale) gives, bit for bit, so
// that every length and support prints as before.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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
        // digits whose integer wraps past 2^64, to 0 itself for a multiple of it
        "18446744073709551616", "18446744073709551616.000000", "36893488147419103232",
        "0.000018446744073709551616", "000018446744073709551617",
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

TEST(Numbers, LongDecimalsAndTheirHalfwayPointsGiveTheCorrectlyRoundedDouble) {
    // Branch lengths written with 20 digits after the point, integers and decimals of 17 to 28
    // significant digits, and decimals that cut the exact halfway point between two doubles
    // after 17 to 40 digits (a digit either way decides the rounding).
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    char buffer[128];
    for (int i = 0; i < 100000; ++i) {
        const double scale = std::pow(10.0, static_cast<int>(random() % 12) - 4);
        const double d = unit(random) * scale;
        const int digits = 17 + static_cast<int>(random() % 12);
        std::snprintf(buffer, sizeof buffer, "%.20f", d);
        expect_same_bits(buffer);
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, d);
        if (std::strchr(buffer, 'e') == nullptr) expect_same_bits(buffer);
        const long double halfway = (static_cast<long double>(d) + std::nextafter(d, 2.0)) / 2;
        for (const int cut : {17, 19, 20, 24, 40}) {
            std::snprintf(buffer, sizeof buffer, "%.*Lf", cut, halfway);
            expect_same_bits(buffer);
        }
        if (HasFailure()) return;
    }
}

TEST(Numbers, OnePassScanAgreesWithTheGeneralReaderOnValueAndEnd) {
    // Every prefix of each text (the range cut anywhere, as a node's text ends at a ',' or
    // ')'), followed by what a tree writes after a number: the one-pass scan and the general
    // reader give the same bits and the same end, the end being where number_end puts it.
    std::vector<std::string> texts = {"0.2789",
                                      "-0.0553",
                                      "+56",
                                      "100",
                                      "0.000000006",
                                      "1.000",
                                      "84.2/94",
                                      "9007199254740993",
                                      "9007199254740992",
                                      "12345678901234567890",
                                      "0.1234567890123456789",
                                      "0.02287457930331759925",
                                      "-000.00000000000000000001234567890123456789",
                                      "0.0000000000000000000000000001",
                                      "1234567890123456789.5",
                                      "5.e3",
                                      " 0.5",
                                      "\t-7",
                                      "-",
                                      "+.",
                                      ".5",
                                      "e5",
                                      "1e",
                                      "Homo"};
    std::mt19937_64 random(40);
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 8 == 0 ? "-" : "";
        const int before = static_cast<int>(random() % 18), after = static_cast<int>(random() % 24);
        for (int d = 0; d < before; ++d)
            text += static_cast<char>('0' + random() % 10);
        if (random() % 4 != 0) text += '.';
        for (int d = 0; d < after; ++d)
            text += static_cast<char>('0' + (random() % 3 == 0 ? 0 : random() % 10));
        texts.push_back(text);
    }
    for (const std::string& number : texts) {
        for (const char* after : {"", ":0.1", ",B", ")"}) {
            const std::string text = number + after;
            for (size_t cut = 0; cut <= number.size(); cut += cut < 3 ? 1 : 4) {
                const char* first = text.data();
                const char* last = first + (cut == number.size() ? text.size() : cut);
                double fast = -1, general = -1;
                const char* fast_end = scan_number(first, last, fast);
                const char* general_end = scan_number_general(first, last, general);
                ASSERT_EQ(fast_end, general_end) << text << " cut " << cut;
                ASSERT_EQ(std::memcmp(&fast, &general, sizeof fast), 0) << text << " cut " << cut;
                const char* blank_end = first;
                while (blank_end < last && (*blank_end == ' ' || *blank_end == '\t'))
                    ++blank_end;
                const char* end = number_end(blank_end, last);
                ASSERT_EQ(fast_end, end == blank_end ? first : end) << text;
                expect_same_bits(std::string(first, last));
            }
        }
    }
}

}  // namespace
}  // namespace tavrin
