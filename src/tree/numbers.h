// Number reading and writing for the Newick dialect, independent of the user's locale.
#ifndef TAVRIN_TREE_NUMBERS_H
#define TAVRIN_TREE_NUMBERS_H

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <string>

namespace tavrin {

// An ASCII decimal digit, whatever the user's locale.
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a number from the start of [first, last) as atof does in the C locale: leading white
// space skipped, the longest prefix that forms a number taken, 0 when there is none. Never reads
// outside the range.
double read_number(const char* first, const char* last);

// scan_number for every form: white space, exponents, long or huge numbers, no number at all.
const char* scan_number_general(const char* first, const char* last, double& value);

// The value of a decimal of more than 19 digits, at most 19 of them after its leading zeros:
// `digits` (not 0) over 10^`scale`, rounded once as a correctly rounded conversion rounds it, as
// scan_number_general would read it. False where one step cannot give it (exact halfway points,
// scales beyond 10^27, platforms without a 64-bit long double significand): the general reader
// then reads it.
bool read_wide_decimal(uint64_t digits, long scale, double& value);

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// Four bytes of text read as one little-endian word (the first byte lowest): whether all four are
// digits (each byte's high half is 3, and adding 6 keeps it so), and the number they write.
inline bool four_digits(uint32_t word) {
    return ((word & 0xF0F0F0F0u) | (((word + 0x06060606u) & 0xF0F0F0F0u) >> 4)) == 0x33333333u;
}
inline uint64_t four_digits_value(uint32_t word) {
    // Each byte's digit; pairs in bytes 0 and 2 (no byte carries: at most 99); then the pairs
    // joined, the first one times 100.
    uint32_t v = word - 0x30303030u;
    v = v * 10 + (v >> 8);
    const uint64_t pairs = v & 0x00FF00FFu;
    return (pairs * (1 + (uint64_t{100} << 16))) >> 16 & 0xFFFF;
}
#endif

// Reads a number as read_number does into `value` and answers where it ends: past its last
// byte, or `first` itself when no number starts there (after white space; `value` 0 then).
// The common short decimal (sign, at most 19 digits with at most one point, no exponent, no
// blanks before it) takes one pass: its digits make an integer of at most 2^53 and its scale a
// power of ten a double holds exactly, so one division rounds it as a correctly rounded
// conversion does.
inline const char* scan_number(const char* first, const char* last, double& value) {
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
    static constexpr double kScales[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = first;
    if (p == last) return scan_number_general(first, last, value);
    const bool negative = *p == '-';
    if (negative || *p == '+') ++p;
    const char* digits = p;
    uint64_t mantissa = 0;
    for (unsigned d; p != last && (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p)
        mantissa = mantissa * 10 + d;
    long count = p - digits;
    long scale = 0;
    if (p != last && *p == '.') {
        const char* fraction = ++p;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        // Four digits a round while four are there: lengths are written with four to twenty.
        for (uint32_t word; last - p >= 4; p += 4) {
            std::memcpy(&word, p, sizeof word);
            if (!four_digits(word)) break;
            mantissa = mantissa * 10000 + four_digits_value(word);
        }
#endif
        for (unsigned d; p != last && (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p)
            mantissa = mantissa * 10 + d;
        scale = p - fraction;
        count += scale;
    }
    if (p == last || (*p | 0x20) != 'e') {
        // 19 digits never overflow; 2^53 and below are exact doubles.
        if (static_cast<unsigned long>(count - 1) < 19 && mantissa <= (uint64_t{1} << 53)) {
            const double magnitude = static_cast<double>(mantissa) / kScales[scale];
            value = negative ? -magnitude : magnitude;
            return p;
        }
        // More digits (lengths written with twenty after the point): the zeros before the first
        // other digit add nothing, and up to 19 digits after them the mantissa holds exactly.
        if (count > 19) {
            long zeros = 0;
            for (const char* z = digits; z != p && (*z == '0' || *z == '.'); ++z)
                zeros += *z == '0';
            double magnitude = 0;
            if (count - zeros <= 19 && read_wide_decimal(mantissa, scale, magnitude)) {
                value = negative ? -magnitude : magnitude;
                return p;
            }
        }
    }
#endif
    return scan_number_general(first, last, value);
}

// The end of the number that starts exactly at `first` (no white space skipped), as read_number
// takes it; `first` when none starts there. The number is the longest prefix of the form:
// optional sign, digits with at most one decimal point (at least one digit), optional exponent.
// Words such as "inf" or "nan" and hexadecimal forms are not numbers here: a leaf named
// Nanoarchaeum must not get a NaN length.
inline const char* number_end(const char* first, const char* last) {
    const char* p = first;
    if (p < last && (*p == '+' || *p == '-')) ++p;
    bool digits = false;
    while (p < last && is_digit(*p))
        ++p, digits = true;
    if (p < last && *p == '.') {
        ++p;
        while (p < last && is_digit(*p))
            ++p, digits = true;
    }
    if (!digits) return first;
    if (p < last && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < last && (*e == '+' || *e == '-')) ++e;
        if (e < last && is_digit(*e)) {
            while (e < last && is_digit(*e))
                ++e;
            p = e;
        }
    }
    return p;
}

// Reads a number as read_number does into `value`, and answers whether there was one: false,
// `value` 0, when none starts there (after white space) or when it lies beyond the range of
// double (1e400, -1e400, which read_number makes infinite). The supports of standard Newick are
// read so: a support too large to hold is no number, as the words "inf" and "nan" are none.
bool read_finite_number(const char* first, const char* last, double& value);

// Appends `value` formatted as printf's "%f" in the C locale (six digits after the point).
void append_fixed(std::string& out, double value);

}  // namespace tavrin

#endif  // TAVRIN_TREE_NUMBERS_H
