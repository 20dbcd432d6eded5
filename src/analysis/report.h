// The report: one tab-separated row per sister of an analysed tree, and the messages that say
// why a tree has no row or why the analysis could not run.
#ifndef TAVRIN_ANALYSIS_REPORT_H
#define TAVRIN_ANALYSIS_REPORT_H

#include <ostream>
#include <string>

#include "analysis/group_relations.h"
#include "analysis/pipeline.h"

namespace tavrin {

// One row per sister: `prefix`, tab, sister name, tab, the support column, line break. With
// `escape`, the prefix and the names are written with the table's escapes (\t, \n, \\), so
// that a name read from standard Newick quotes cannot split the row.
void write_rows(std::ostream& out, const AnalysisResult& result, const std::string& prefix,
                bool escape = false);

// The support column of the rows: the value as a default stream writes it (95, 0.87, 1e-07), or
// "n/a".
void write_support(std::ostream& out, const AnalysisResult& result);

// "Set aside: " and the names of the leaves the result was analysed without, joined by commas;
// nothing when it was analysed whole. With `escape`, the names as write_rows escapes them.
void write_set_aside(std::ostream& err, const AnalysisResult& result, bool escape = false);

// `text`, with the table's escapes when `escape`.
void write_name(std::ostream& out, const std::string& text, bool escape);

// "TARGET IS ROOT" or "CLADE NOT FOUND" when the result is either (an ambiguous set of
// outliers leaves the target not found); nothing otherwise.
void write_outcome_message(std::ostream& err, const AnalysisResult& result);

// "No root from --root <list> for <tree>" when no entry of the root list rooted the tree;
// nothing otherwise. `tree` names it: its file, and ":<k>" for the k-th of several.
void write_no_root(std::ostream& err, const AnalysisResult& result, const std::string& list,
                   const std::string& tree);

// Why the group file at `path` could not be loaded; nothing when it was.
void write_group_file_error(std::ostream& err, GroupRelations::LoadResult load,
                            const std::string& path);

// Why `pattern` cannot be used as a --E pattern.
void write_pattern_error(std::ostream& err, const std::string& pattern, const std::string& reason);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_REPORT_H
