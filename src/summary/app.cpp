#include "summary/app.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <istream>
#include <locale>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>

#include "cli/exit_status.h"
#include "cli/option_table.h"
#include "output/escapes.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "summary/html_page.h"
#include "summary/report_reader.h"
#include "summary/study_matrix.h"
#include "summary/support_field.h"
#include "summary/svg_chart.h"
#include "summary/table.h"
#include "summary/tally.h"

namespace tavrin::summary {

#ifndef TAVRIN_SUMMARY_VERSION
#define TAVRIN_SUMMARY_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "Tavrin-summary";
// How standard input is named in messages.
constexpr const char* kStdinName = "<stdin>";

struct Options {
    double min_support = 70;
    bool support_percent = false;  // --min-support X%: X percent of each group's scale
    std::string svg_path;          // empty for no chart
    std::string html_path;         // empty for no page
    std::string pictures_path;     // empty when the page links no pictures
    bool first_sister_only = false;
    Grouping grouping;                 // --by
    std::vector<std::string> reports;  // at least one: "-" when none is named
    bool progress = false;             // how far the reading is, on standard error
    bool help = false;
    bool version = false;
};

std::string take_min_support(const char*, const std::string& value, Options& options) {
    // "X%": X percent of each group's scale, 0-1 or 0-100.
    const bool percent = !value.empty() && value.back() == '%';
    const std::string number = percent ? value.substr(0, value.size() - 1) : value;
    if (!parse_number(number, options.min_support) || !std::isfinite(options.min_support))
        return "--min-support: '" + shown_value(value) + "' is not a finite decimal number" +
               (percent ? " followed by %" : "");
    options.support_percent = percent;
    return "";
}

// A file written besides the table: named, and not '-', which is standard input everywhere else
// while standard output holds the table.
template <std::string Options::*Path>
std::string take_output_file(const char* name, const std::string& value, Options& options) {
    if (value.empty()) return std::string(name) + ": the file name is empty";
    if (value == "-")
        return std::string(name) +
               ": '-' is not a file name here (the table goes to standard output; write ./- for "
               "a file named -)";
    options.*Path = value;
    return "";
}

std::string take_pictures(const char* name, const std::string& value, Options& options) {
    if (value.empty()) return std::string(name) + ": the folder name is empty";
    options.pictures_path = value;
    return "";
}

// --by label, target, file, or several of them separated by commas, each once.
std::string take_by(const char* name, const std::string& value, Options& options) {
    const std::string label = column_name(Column::kLabel);
    const std::string target = column_name(Column::kTarget);
    const std::string file = column_name(Column::kFile);
    Grouping grouping;
    for (std::size_t start = 0;;) {
        const std::size_t comma = value.find(',', start);
        const std::string key = value.substr(start, comma - start);
        bool* flag = key == label    ? &grouping.by_label
                     : key == target ? &grouping.by_target
                     : key == file   ? &grouping.by_file
                                     : nullptr;
        if (flag == nullptr || *flag)
            return std::string(name) + ": '" + shown_value(value) + "' is not " + label + ", " +
                   target + ", " + file + " or several of them separated by commas, each once";
        *flag = true;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    options.grouping = grouping;
    return "";
}

constexpr Placement kAnywhere = Placement::kAnywhere;

const Option<Options> kOptions[] = {
    {"--first", nullptr, nullptr, kAnywhere, "count only the first sister of each tree",
     take_flag<Options, &Options::first_sister_only>},
    {"--min-support", nullptr, "X", kAnywhere,
     "threshold of the 'supported' column (default 70); X% is X percent of each group's scale: "
     "0-1 when all its supports lie between 0 and 1, else 0-100",
     take_min_support},
    {"--by", nullptr, "KEYS", kAnywhere,
     "tally the trees apart by any of label, target and file (comma-separated, e.g. "
     "label,target): the table, the chart and the closing count per group, in the order the "
     "groups first appear",
     take_by},
    {"--svg", nullptr, "FILE", kAnywhere, "also draw the table as a bar chart in FILE (SVG)",
     take_output_file<&Options::svg_path>},
    {"--html", nullptr, "FILE", kAnywhere,
     "also write the batch on one HTML page in FILE: the table, the chart, the count and, for "
     "per-tree tables, one row per tree with a filter",
     take_output_file<&Options::html_path>},
    {"--pictures", nullptr, "DIR", kAnywhere,
     "link each tree's row to its picture in DIR (the folder of Tavrin --draw); with --html only",
     take_pictures},
    {"--progress", nullptr, nullptr, kAnywhere,
     "tell how far the reading is on standard error: files and trees read, trees per second, "
     "the time spent and left",
     take_flag<Options, &Options::progress>},
    {"-h", "--help", nullptr, kAnywhere, "print this help and exit",
     take_flag<Options, &Options::help>},
    {"--version", nullptr, nullptr, kAnywhere, "print the version and exit",
     take_flag<Options, &Options::version>},
};

constexpr const char* kReports = "REPORT ...";
constexpr std::size_t kHelpColumn = 21;

std::string usage_line() {
    std::vector<std::string> items;
    for (const OptionHelp& option : help_of(kOptions, kAnywhere))
        items.push_back(usage_item(option));
    items.push_back(std::string("[") + kReports + "]");
    return usage_lines("usage: Tavrin-summary", items);
}

void write_help(std::ostream& out) {
    out << usage_line() << '\n'
        << "Tallies the sister clades in Tavrin reports: for every (target, sister) pair,\n"
           "the trees in which it appears, their share of the trees of that target, how\n"
           "many of them are supported, and the median support.\n\n";
    write_help_entry(out, "REPORT",
                     "Tavrin report files or per-tree tables (Tavrin --table), read in order as "
                     "one input; '-' or none: standard input",
                     kHelpColumn);
    write_help_entries(out, help_of(kOptions, kAnywhere), kHelpColumn);
    out << "\nThe table goes to standard output, one closing count of trees to standard\n"
           "error (with the reasons of the trees without a sister when a per-tree table was\n"
           "read).\n";
}

// The option at args[i], as --name VALUE or --name=VALUE, taken into `options`; args[i] is left
// at the last argument used. The usage error, or an empty string.
std::string parse_option(const std::vector<std::string>& args, std::size_t& i, Options& options) {
    const std::string& arg = args[i];
    const std::size_t equals = arg.compare(0, 2, "--") == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const Option<Options>* option = find_option(kOptions, kAnywhere, name);
    // A flag takes no value, not even after '='.
    if (option == nullptr || (option->value == nullptr && equals != std::string::npos))
        return "unknown option '" + shown_value(arg) + "'";
    std::string value;
    if (option->value != nullptr) {
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 == args.size()) {
            return "option '" + shown_value(name) + "' needs a value";
        } else {
            value = args[++i];
        }
    }
    return option->take(option->name, value, options);
}

// Fills `options`; the usage error, or an empty string.
std::string parse_arguments(const std::vector<std::string>& args, Options& options) {
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
            options.reports.push_back(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (std::string problem = parse_option(args, i, options); !problem.empty()) {
            return problem;
        }
    }
    if (options.reports.empty()) options.reports.push_back("-");
    return "";
}

// The report that `path` names (by its normalised path, or by device and inode), or empty when
// none does.
std::string report_at(const Options& options, const std::string& path) {
    for (const std::string& report : options.reports) {
        // Standard input, when it is a file, is that file under /dev/stdin.
        const std::string& opened = report == "-" ? std::string("/dev/stdin") : report;
        if (tavrin::same_file(opened, path))
            return report == "-" ? kStdinName : shown_value(report);
    }
    return std::string();
}

// What stops --svg, --html and --pictures, or an empty string.
std::string check_output_files(const Options& options) {
    const std::string under_chart =
        options.svg_path.empty() ? std::string() : report_at(options, options.svg_path);
    if (!under_chart.empty())
        return "--svg " + shown_value(options.svg_path) + ": the chart would replace the report " +
               under_chart;
    if (!options.pictures_path.empty() && options.html_path.empty())
        return "--pictures: the pictures are linked from the page of --html, which is not asked "
               "for";
    if (options.html_path.empty()) return std::string();
    const std::string report = report_at(options, options.html_path);
    if (!report.empty())
        return "--html " + shown_value(options.html_path) + ": the page would replace the report " +
               report;
    if (!options.svg_path.empty() && tavrin::same_file(options.svg_path, options.html_path))
        return "--html " + shown_value(options.html_path) +
               ": the page would replace the chart of --svg";
    std::error_code error;
    if (!options.pictures_path.empty() &&
        !std::filesystem::is_directory(options.pictures_path, error))
        return "--pictures " + shown_value(options.pictures_path) + ": not a folder";
    return std::string();
}

// Reads the report `path` with `reader`; the message of its failure, or an empty string.
std::string read_report(const std::string& path, std::istream& in, bool own_input,
                        ReportReader& reader) {
    if (path == "-") {
        const int closed = own_input ? tavrin::standard_input_closed() : 0;
        if (closed != 0)
            return std::string(kStdinName) + ": cannot be read" + tavrin::system_reason(closed);
        return reader.read(in, kStdinName) ? std::string() : reader.error();
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return shown_value(path) + ": cannot be read (it is a directory)";
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return shown_value(path) + ": cannot be opened" + tavrin::system_reason(errno);
    return reader.read(file, path) ? std::string() : reader.error();
}

// Reads every report with `reader`, telling `progress` (when not null) of each; the message of
// the first failure, or an empty string.
std::string read_reports(const Options& options, std::istream& in, bool own_input,
                         ReportReader& reader, Progress* progress) {
    reader.tell_progress(progress);
    for (const std::string& path : options.reports) {
        std::string problem = read_report(path, in, own_input, reader);
        if (!problem.empty()) return problem;
        if (progress != nullptr) progress->file_done();
    }
    return std::string();
}

// Flushes `out`; false when anything written to it was lost. Call with errno cleared before
// the writing began: the reason of the first failed write stays in it.
bool flushed(std::ostream& out) {
    out.flush();
    return static_cast<bool>(out);
}

// Writes `message`, whose values are shown already; any control byte left (from a line of a
// report quoted in it) is escaped all the same.
int fail(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << tavrin::shown_controls(message) << '\n';
    return kExitCommandLine;
}

// `N trees, K with a sister, M without`, with `, S named with strays` after the trees with a
// sister when some were, then, once a per-tree table was read, the reasons of the trees without
// a sister that the tables give: ` (unnamed 2, no-target 1)`.
void write_counts(std::ostream& err, const TreeCounts& counts, bool table_read) {
    err << counted(counts.trees, "tree", "trees") << ", " << counts.with_sister
        << " with a sister, ";
    if (counts.with_strays > 0) err << counts.with_strays << " named with strays, ";
    err << counts.trees - counts.with_sister << " without";
    const char* separator = " (";
    for (const TreeStatus status : kReasonOrder) {
        if (!table_read || counts.status_count(status) == 0) continue;
        err << separator << status_name(status) << ' ' << counts.status_count(status);
        separator = ", ";
    }
    err << (*separator == ',' ? ")\n" : "\n");
}

// The closing count: one line, or under --by one per group, named. Written in blocks of lines:
// the standard error is unbuffered, and a study may have a hundred thousand groups.
void write_closing_count(std::ostream& err, const Tally& tally, NameText text = NameText::kStream) {
    std::ostringstream lines;
    if (!tally.grouping().any() || tally.groups().empty()) {
        write_counts(lines, tally.totals(), tally.table_read());
    } else {
        for (const TreeGroup& group : tally.groups()) {
            lines << group_name(group, tally.grouping(), text) << ": ";
            write_counts(lines, group.counts, tally.table_read());
            if (lines.tellp() < 65536) continue;
            err << lines.str();
            lines.str(std::string());
        }
    }
    err << lines.str();
}

// Supports that are all 0 are no supports; supports written as fractions (0 to 1) never reach a
// threshold above 1: what to say of them (after "warning: "), or nothing.
std::string support_warning(const TreeCounts& counts, double min_support) {
    if (counts.supports_are_zero())
        return "every support is 0: these trees carry no support values";
    if (min_support <= 1 || !counts.supports_are_fractions()) return std::string();
    return "every support lies between 0 and 1 but --min-support is " + format_double(min_support) +
           ", which none reaches; for supports written as fractions use --min-support " +
           format_double(min_support / 100);
}

// The counts of each group, in order: one for all the trees without --by.
std::vector<const TreeCounts*> group_counts(const Tally& tally) {
    std::vector<const TreeCounts*> counts;
    if (!tally.grouping().any() || tally.groups().empty()) return {&tally.totals()};
    for (const TreeGroup& group : tally.groups())
        counts.push_back(&group.counts);
    return counts;
}

// The threshold of each group: with X%, X percent of the scale its supports are on.
std::vector<double> thresholds(const Options& options, const Tally& tally) {
    std::vector<double> of;
    for (const TreeCounts* counts : group_counts(tally)) {
        const bool fractions = options.support_percent && counts->supports_are_fractions();
        of.push_back(fractions ? options.min_support / 100 : options.min_support);
    }
    return of;
}

// A label as the warnings name it.
std::string shown_label(std::string_view label) {
    std::string shown;
    if (label.empty()) return "(none)";
    append_name(shown, label);
    return shown;
}

// The warnings before the closing count: runs of several labels tallied together, and the
// supports of each group.
void write_warnings(std::ostream& err, const Tally& tally, const std::vector<double>& min_support) {
    const std::vector<std::string>& labels = tally.labels();
    if (!tally.grouping().by_label && labels.size() > 1) {
        err << kProgram << ": warning: the input holds trees of " << labels.size() << " labels ("
            << names_listed(std::vector<std::string_view>(labels.begin(), labels.end()),
                            labels.size(), 5, "labels", shown_label)
            << "), tallied together; --by label tallies each apart\n";
    }
    const std::vector<const TreeCounts*> counts = group_counts(tally);
    for (std::size_t group = 0; group < counts.size(); ++group) {
        const std::string warning = support_warning(*counts[group], min_support[group]);
        if (warning.empty()) continue;
        err << kProgram << ": warning: ";
        if (tally.grouping().any())
            err << group_name(tally.groups()[group], tally.grouping()) << ": ";
        err << warning << '\n';
    }
}

// One chart per group (one for all the trees without --by), over the rows of its group.
std::vector<ChartPanel> chart_panels(const Options& options, const Tally& tally,
                                     const std::vector<PairSummary>& rows,
                                     const std::vector<double>& min_support) {
    std::vector<ChartPanel> panels;
    const ChartRows all = all_rows(rows);
    if (!tally.grouping().any() || tally.groups().empty()) {
        const TreeCounts& counts = tally.totals();
        panels.push_back({all, ChartFacts{counts.trees, counts.with_sister, min_support.front(),
                                          options.first_sister_only, std::string()}});
        return panels;
    }
    const PairSummary* at = all.begin;
    for (std::size_t group = 0; group < tally.groups().size(); ++group) {
        const PairSummary* const begin = at;
        while (at != all.end && at->group == group)
            ++at;
        const TreeGroup& of = tally.groups()[group];
        panels.push_back(
            {ChartRows{begin, at}, ChartFacts{of.counts.trees, of.counts.with_sister,
                                              min_support[group], options.first_sister_only,
                                              group_name(of, tally.grouping(), NameText::kPage)}});
    }
    return panels;
}

// The document of --svg: one chart, or the charts of the groups one under the other.
std::string chart_document(const Options& options, const Tally& tally,
                           const std::vector<PairSummary>& rows,
                           const std::vector<ChartPanel>& panels) {
    std::ostringstream svg;
    if (!tally.grouping().any()) {
        write_svg(svg, rows, panels.front().facts);
        return svg.str();
    }
    const Grouping& by = tally.grouping();
    std::vector<std::string> keys;
    if (by.by_label) keys.push_back("label");
    if (by.by_file) keys.push_back("file");
    if (by.by_target) keys.push_back("target");
    std::string named;
    for (std::size_t i = 0; i < keys.size(); ++i)
        named += (i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ") + keys[i];
    std::string title = std::string(options.first_sister_only ? "First sisters" : "Sisters") +
                        " in " + std::to_string(tally.tree_count()) + " trees by " + named;
    const std::vector<bool> charted = charted_panels(panels);
    std::vector<ChartPanel> drawn;
    for (std::size_t i = 0; i < panels.size(); ++i)
        if (charted[i]) drawn.push_back(panels[i]);
    if (drawn.size() < panels.size())
        title += ", the " + std::to_string(kChartedGroups) + " largest of " +
                 std::to_string(panels.size()) + " groups";
    write_grouped_svg(svg, drawn, title);
    return svg.str();
}

// What the reading kept for the page.
struct ReadTables {
    explicit ReadTables(const Options& options)
        : study(options.grouping.by_file, options.min_support,
                options.support_percent ? options.min_support / 100 : options.min_support) {}
    StudyMatrix study;
    std::vector<TreeRecord> records;
    std::size_t not_kept = 0;
    std::size_t widest = 0;
};

// Whether the trees of this label, file and target are on the 0-1 scale: those of their group.
bool fraction_scale(const Tally& tally, std::string_view label, std::string_view file,
                    std::string_view target) {
    const TreeGroup* group = tally.group_of(label, file, target);
    return group != nullptr && group->counts.supports_are_fractions();
}

std::string page_document(const Options& options, const Tally& tally,
                          const std::vector<ChartPanel>& panels, const ReadTables& tables,
                          const std::vector<double>& min_support) {
    std::ostringstream closing;
    write_closing_count(closing, tally, NameText::kPage);
    PageContent content;
    content.tree_count = tally.tree_count();
    content.targets = tally.targets();
    for (const std::string& label : tally.labels())
        if (!label.empty()) content.labels.push_back(label);
    content.closing = closing.str();
    if (!content.closing.empty() && content.closing.back() == '\n') content.closing.pop_back();
    content.grouping = tally.grouping();
    const std::vector<const TreeCounts*> counts = group_counts(tally);
    // Past kChartedGroups, only the largest groups get a chart; the others are tables only.
    const std::vector<bool> charted = charted_panels(panels);
    for (std::size_t group = 0; group < panels.size(); ++group) {
        const ChartPanel& panel = panels[group];
        std::string warning = support_warning(*counts[group], min_support[group]);
        if (!warning.empty()) warning = "Warning: " + warning;
        content.groups.push_back(
            {panel.facts.group, std::move(warning), panel.rows,
             charted[group] ? chart_element(panel.rows, panel.facts) : std::string(),
             min_support[group]});
    }
    if (tables.study.shown()) {
        content.study = tables.study.html(
            [&tally](std::string_view label, std::string_view file, std::string_view target) {
                return fraction_scale(tally, label, file, target);
            });
    }
    content.table_read = tally.table_read();
    content.trees = &tables.records;
    content.trees_not_listed = tables.not_kept;
    content.table_width = tables.widest;
    if (!options.pictures_path.empty()) {
        content.pictures.path = options.pictures_path;
        content.pictures.href = folder_href(options.pictures_path, options.html_path);
    }
    return html_page(content);
}

std::string cannot_write(const char* what, const std::string& path, int error) {
    return std::string("cannot write the ") + what + " to " + shown_value(path) +
           tavrin::system_reason(error);
}

// Writes the chart and the page, each whole or not at all, and neither when either fails: the
// message of a failure, or an empty string.
std::string write_files(const Options& options, const std::string& chart, const std::string& page) {
    tavrin::FileReplacement chart_file, page_file;
    if (!options.svg_path.empty()) {
        if (const int error = chart_file.write(options.svg_path, chart))
            return cannot_write("chart", options.svg_path, error);
    }
    if (!options.html_path.empty()) {
        if (const int error = page_file.write(options.html_path, page))
            return cannot_write("page", options.html_path, error);
    }
    // A target written in place cannot be put back as it was: when only the page is, it goes
    // first, so that its failure (a full disk) leaves the chart as it was.
    const bool page_first = page_file.in_place() && !chart_file.in_place();
    const auto commit_page = [&] {
        const int error = page_file.commit();
        return error != 0 ? cannot_write("page", options.html_path, error) : std::string();
    };
    if (page_first) {
        if (std::string failed = commit_page(); !failed.empty()) return failed;
    }
    if (const int error = chart_file.commit())
        return cannot_write("chart", options.svg_path, error);
    return page_first ? std::string() : commit_page();
}

// Reads the reports, then writes the chart, the page and the table.
int summarise(const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const ProcessStreams& process) {
    Tally tally(options.first_sister_only, options.grouping);
    ReadTables tables(options);
    ReportReader reader(tally);
    if (!options.html_path.empty()) {
        reader.keep_records(&tables.records, kPageRows);
        reader.count_study(&tables.study);
    }
    std::optional<Progress> progress;
    if (options.progress)
        progress.emplace(err, kProgram, options.reports.size(), process.err_terminal);
    std::string problem =
        read_reports(options, in, process.own_input, reader, progress ? &*progress : nullptr);
    if (progress) progress->finish();
    if (!problem.empty()) return fail(err, problem);
    tally.end_input();
    tables.not_kept = reader.records_not_kept();
    tables.widest = reader.widest_table();
    const std::vector<double> min_support = thresholds(options, tally);
    const std::vector<PairSummary> rows = tally.summarise(min_support);

    const std::vector<ChartPanel> panels = chart_panels(options, tally, rows, min_support);
    const std::string chart =
        options.svg_path.empty() ? std::string() : chart_document(options, tally, rows, panels);
    const std::string page = options.html_path.empty()
                                 ? std::string()
                                 : page_document(options, tally, panels, tables, min_support);
    problem = write_files(options, chart, page);
    if (!problem.empty()) return fail(err, problem);
    errno = 0;
    write_table(out, rows, options.grouping);
    if (!flushed(out))
        return fail(err,
                    "cannot write the table to standard output" + tavrin::system_reason(errno));

    write_warnings(err, tally, min_support);
    write_closing_count(err, tally);
    return kExitSuccess;
}
}  // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const ProcessStreams& process) {
    out.imbue(std::locale::classic());
    err.imbue(std::locale::classic());

    Options options;
    const std::string problem = parse_arguments(args, options);
    if (!problem.empty()) {
        err << kProgram << ": " << tavrin::shown_controls(problem) << '\n' << usage_line();
        return kExitCommandLine;
    }
    if (options.help || options.version) {
        errno = 0;
        if (options.help)
            write_help(out);
        else
            out << kProgram << ' ' << TAVRIN_SUMMARY_VERSION << '\n';
        if (!flushed(out))
            return fail(err, "cannot write to standard output" + tavrin::system_reason(errno));
        return kExitSuccess;
    }
    if (const std::string refused = check_output_files(options); !refused.empty())
        return fail(err, refused);
    try {
        return summarise(options, in, out, err, process);
    } catch (const std::bad_alloc&) {
        // Reading reports its own shortage with the name of the source; this is what is left.
        err << kProgram << ": memory ran out\n";
        return kExitCommandLine;
    }
}

}  // namespace tavrin::summary
