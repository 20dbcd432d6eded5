#include "analysis/report.h"

void write_rows(std::ostream& out, const Tavrin& analysis, const std::string& prefix) {
    for (int32_t i = 0; i < analysis.sister_count; ++i) {
        const double value = analysis.bootstrap();
        const bool not_applicable = analysis.bootstrapIsNull();
        out << prefix << '\t' << analysis.sisters[static_cast<size_t>(i)] << '\t';
        if (not_applicable) {
            out << "n/a";
        } else {
            out << value;
        }
        out << '\n';
    }
}
