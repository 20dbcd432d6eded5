#include "analysis/report.h"

#include <vector>

#include "messages.h"

namespace tavrin {
namespace {

void write_sister_rows(std::ostream& out, const std::string& prefix,
                       const std::vector<std::string>& sisters, double support,
                       bool support_applies) {
    for (const std::string& sister : sisters) {
        out << prefix << '\t' << sister << '\t';
        if (support_applies) {
            out << support;
        } else {
            out << "n/a";
        }
        out << '\n';
    }
}

}  // namespace

void write_rows(std::ostream& out, const AnalysisResult& result, const std::string& prefix) {
    write_sister_rows(out, prefix, result.sisters, result.support, result.support_applies);
}

void write_outcome_message(std::ostream& err, const AnalysisResult& result) {
    if (result.outcome == Outcome::kWholeTree) {
        err << messages::kTargetIsRoot << std::endl;
    } else if (result.outcome == Outcome::kNotAClade || result.outcome == Outcome::kNoTargetLeaf) {
        err << messages::kCladeNotFound << std::endl;
    }
}

void write_group_file_error(std::ostream& err, GroupRelations::LoadResult load,
                            const std::string& path) {
    switch (load) {
        case GroupRelations::LoadResult::kLoaded:
            return;
        case GroupRelations::LoadResult::kUnreadable:
            err << messages::kCannotOpenGroupFile << path << std::endl;
            return;
        case GroupRelations::LoadResult::kTooLarge:
            err << messages::kGroupFileTooLarge << path << " (" << GroupRelations::kMaxPairs
                << " pairs)" << std::endl;
            return;
    }
}

void write_pattern_error(std::ostream& err, const std::string& pattern, const std::string& reason) {
    err << messages::kInvalidPattern << pattern << " (" << reason << ")" << std::endl;
}

}  // namespace tavrin

void write_rows(std::ostream& out, const Tavrin& analysis, const std::string& prefix) {
    if (analysis.sister_count <= 0) return;
    const double value = analysis.bootstrap();
    const bool not_applicable = analysis.bootstrapIsNull();
    tavrin::write_sister_rows(out, prefix, analysis.sisters, value, !not_applicable);
}
