#include "analysis/report.h"

#include "analysis/escapes.h"
#include "messages.h"

namespace tavrin {

void write_name(std::ostream& out, const std::string& text, bool escape) {
    if (escape) {
        write_escaped(out, text, false);
    } else {
        out << text;
    }
}

void write_rows(std::ostream& out, const AnalysisResult& result, const std::string& prefix,
                bool escape) {
    for (const std::string& sister : result.sisters) {
        write_name(out, prefix, escape);
        out << '\t';
        write_name(out, sister, escape);
        out << '\t';
        write_support(out, result);
        out << '\n';
    }
}

void write_support(std::ostream& out, const AnalysisResult& result) {
    if (result.support_applies) {
        out << result.support;
    } else {
        out << "n/a";
    }
}

void write_set_aside(std::ostream& err, const AnalysisResult& result, bool escape) {
    if (!result.set_aside) return;
    err << messages::kSetAside;
    const char* separator = "";
    for (const std::string& name : result.outliers.names) {
        err << separator;
        write_name(err, name, escape);
        separator = ",";
    }
    err << std::endl;
}

void write_outcome_message(std::ostream& err, const AnalysisResult& result) {
    switch (result.outcome) {
        case Outcome::kWholeTree:
            err << messages::kTargetIsRoot << std::endl;
            return;
        case Outcome::kNotAClade:
        case Outcome::kNoTargetLeaf:
        case Outcome::kAmbiguous:
            err << messages::kCladeNotFound << std::endl;
            return;
        case Outcome::kSisters:
        case Outcome::kUnnamed:
        case Outcome::kNoRoot:  // see write_no_root
            return;
    }
}

void write_no_root(std::ostream& err, const AnalysisResult& result, const std::string& list,
                   const std::string& tree) {
    if (result.outcome != Outcome::kNoRoot) return;
    err << messages::kNoRootBefore << list << messages::kNoRootFor << tree << std::endl;
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
