#include "summary/table.h"

#include <locale>
#include <sstream>

namespace summary {

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

void write_table(std::ostream& out, const std::vector<PairSummary>& rows, std::size_t tree_count) {
    // One formatting stream for all lines, in the classic locale, with default settings.
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << "target\tsister\ttrees\tshare\tsupported\tmedian_support\n";
    out << line.str();
    for (const PairSummary& row : rows) {
        line.str(std::string());
        line << row.target << '\t' << row.sister << '\t' << row.trees << '\t'
             << format_share(row.trees, tree_count) << '\t' << row.supported << '\t';
        if (row.has_median)
            line << row.median << '\n';
        else
            line << "n/a\n";
        out << line.str();
    }
}

}  // namespace summary
