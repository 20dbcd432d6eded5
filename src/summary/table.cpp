#include "summary/table.h"

#include <locale>
#include <sstream>

namespace tavrin::summary {

std::string format_double(double value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

std::string format_share(std::size_t trees, std::size_t total) {
    if (total == 0) return "0.000";
    // Thousandths, rounded half up, in integers: exact for any count. Counts stay far below
    // the range where 2000 * trees could overflow 64 bits.
    const unsigned long long thousandths =
        (2000ULL * trees + total) / (2ULL * static_cast<unsigned long long>(total));
    std::string fraction = std::to_string(thousandths % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(thousandths / 1000) + "." + fraction;
}

namespace {

// A name as a field of the table: a tab or line break in it (a table read by the summary can hold
// one) is written \t or \n, so that the line keeps its columns.
void append_name(std::string& block, const std::string& name) {
    if (name.find_first_of("\t\n") == std::string::npos) {
        block += name;
        return;
    }
    for (const char c : name) {
        if (c == '\t')
            block += "\\t";
        else if (c == '\n')
            block += "\\n";
        else
            block += c;
    }
}

}  // namespace

void write_table(std::ostream& out, const std::vector<PairSummary>& rows, std::size_t tree_count) {
    // Lines are put together in one buffer and written in large blocks. Only the median goes
    // through a stream (its format is the stream's), one stream in the classic locale for all.
    std::ostringstream number;
    number.imbue(std::locale::classic());
    std::string block = "target\tsister\ttrees\tshare\tsupported\tmedian_support\n";
    for (const PairSummary& row : rows) {
        append_name(block, row.target);
        block += '\t';
        append_name(block, row.sister);
        block += '\t' + std::to_string(row.trees) + '\t' + format_share(row.trees, tree_count) +
                 '\t' + std::to_string(row.supported) + '\t';
        if (row.has_median) {
            number.str(std::string());
            number << row.median;
            block += number.str();
        } else {
            block += "n/a";
        }
        block += '\n';
        if (block.size() >= (1u << 16)) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

}  // namespace tavrin::summary
