#include "driver/options.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "analysis/leaf_matching.h"
#include "analysis/root_list.h"
#include "cli/option_table.h"
#include "draw/picture_file.h"
#include "output/escapes.h"
#include "output/messages.h"
#include "platform/cpus.h"
#include "tree/numbers.h"

namespace tavrin {
namespace {

using TavrinOption = Option<RunConfig>;

// "<what><name>: '<value>'", the value escaped so that the message stays one line.
std::string value_error(const char* what, const char* name, const std::string& value) {
    return std::string(what) + name + ": '" + shown_value(value) + "'";
}

// Reads a whole number from 0 to `max` written in decimal digits alone.
std::string read_count(const char* name, const std::string& value, std::size_t max,
                       std::size_t& count) {
    const bool negative = value.size() > 1 && value[0] == '-';
    const auto digits = value.begin() + (negative ? 1 : 0);
    if (digits == value.end() || !std::all_of(digits, value.end(), is_digit)) {
        return value_error(messages::kNotAWholeNumber, name, value);
    }
    if (negative) return value_error(messages::kNegativeValue, name, value);
    std::size_t read = 0;
    for (auto c = digits; c != value.end(); ++c) {
        const auto digit = static_cast<std::size_t>(*c - '0');
        if (read > (max - digit) / 10) {
            return value_error(messages::kValueTooLarge, name, value) + " (at most " +
                   std::to_string(max) + ")";
        }
        read = read * 10 + digit;
    }
    count = read;
    return std::string();
}

// A share of a clade's leaves: a decimal number (digits with at most one point, an optional
// sign and exponent) above 0.5 and at most 1.
std::string take_sister_purity(const char* name, const std::string& value, RunConfig& config) {
    const char* first = value.data();
    const char* last = first + value.size();
    if (value.empty() || number_end(first, last) != last) {
        return value_error(messages::kNotANumber, name, value);
    }
    const double purity = read_number(first, last);
    if (!(purity > 0.5) || purity > 1) {
        return value_error(purity > 1 ? messages::kValueTooLarge : messages::kValueTooSmall, name,
                           value) +
               messages::kPurityRange;
    }
    config.analysis.purity = purity;
    return std::string();
}

std::string take_outliers(const char* name, const std::string& value, RunConfig& config) {
    return read_count(name, value, kMaxOutliers, config.analysis.max_outliers);
}

std::string take_standard_newick(const char*, const std::string&, RunConfig& config) {
    config.read.dialect = Dialect::kStandard;
    return std::string();
}

std::string take_support_field(const char* name, const std::string& value, RunConfig& config) {
    std::size_t field = 0;
    std::string error = read_count(name, value, kMaxSupportField, field);
    if (error.empty() && field == 0) error = value_error(messages::kValueBelowOne, name, value);
    if (error.empty()) config.read.support_field = static_cast<int>(field);
    return error;
}

// One byte that may end a leaf prefix.
std::string take_separator(const char* name, const std::string& value, RunConfig& config) {
    if (value.size() != 1) return value_error(messages::kNotOneByte, name, value);
    if (!is_valid_separator(value[0])) {
        return value_error(messages::kNotASeparator, name, value) + messages::kSeparatorsAllowed;
    }
    config.analysis.separator = value[0];
    return std::string();
}

// A folder, or a path where one can be made; it is made when the run begins.
std::string take_draw(const char* name, const std::string& value, RunConfig& config) {
    std::error_code error;
    const auto status = std::filesystem::status(value, error);
    if (value.empty() ||
        (std::filesystem::exists(status) && !std::filesystem::is_directory(status))) {
        return value_error(messages::kNotAFolder, name, value);
    }
    config.draw_dir = value;
    return std::string();
}

// 1 to kMaxLabel bytes, each a letter, a digit, '.', '_' or '-': a label stands in file names.
std::string take_label(const char* name, const std::string& value, RunConfig& config) {
    if (value.empty() || value.size() > kMaxLabel ||
        !std::all_of(value.begin(), value.end(), is_name_byte))
        return value_error(messages::kNotALabel, name, value) + messages::kLabelsAllowed;
    config.label = value;
    return std::string();
}

// A comma-separated list of 1 to kMaxTargets targets, none empty, none twice; "\," stands for a
// comma in a target.
std::string take_targets(const char* name, const std::string& value, RunConfig& config) {
    std::vector<std::string> targets(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == ',') {
            targets.back() += ',';
            ++i;
        } else if (value[i] == ',') {
            targets.emplace_back();
        } else {
            targets.back() += value[i];
        }
    }
    if (value.empty()) return value_error(messages::kEmptyList, name, value);
    if (targets.size() > kMaxTargets)
        return value_error(messages::kTooManyListEntries, name, value) + " (at most " +
               std::to_string(kMaxTargets) + ")";
    std::vector<std::string_view> sorted(targets.begin(), targets.end());
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (sorted[i].empty()) return value_error(messages::kEmptyListEntry, name, value);
        if (i > 0 && sorted[i] == sorted[i - 1])
            return value_error(messages::kRepeatedListEntry, name, std::string(sorted[i]));
    }
    config.targets = std::move(targets);
    return std::string();
}

std::string take_root(const char* name, const std::string& value, RunConfig& config) {
    if (!parse_root_list(value, config.analysis.root)) {
        return value_error(value.empty() ? messages::kEmptyList : messages::kEmptyListEntry, name,
                           value);
    }
    // A rooting reads every length of a tree, some many times: they are read with the tree.
    config.read.numbers_as_text = false;
    return std::string();
}

std::string take_root_strays(const char* name, const std::string& value, RunConfig& config) {
    return read_count(name, value, kMaxRootStrays, config.analysis.root.max_strays);
}

std::string take_support_attribute(const char* name, const std::string& value, RunConfig& config) {
    if (value.empty()) return std::string(messages::kEmptyName) + name;
    config.read.support_attribute = value;
    return std::string();
}

std::string take_burnin(const char* name, const std::string& value, RunConfig& config) {
    return read_count(name, value, kMaxBurnin, config.burnin);
}

// A whole number of threads from 1, or `auto`: the processors this process may run on.
std::string take_threads(const char* name, const std::string& value, RunConfig& config) {
    if (value == "auto") {
        config.threads = available_cpus();
        return std::string();
    }
    std::string error = read_count(name, value, kMaxThreads, config.threads);
    if (error.empty() && config.threads == 0) {
        error = value_error(messages::kValueBelowOne, name, value);
    }
    return error;
}

std::string take_group_file(const char*, const std::string& value, RunConfig& config) {
    config.group_file = value;
    return std::string();
}

std::string take_regex(const char*, const std::string&, RunConfig& config) {
    config.analysis.use_regex = true;
    return std::string();
}

// Options that only ask for a text: nothing to take.
std::string take_nothing(const char*, const std::string&, RunConfig&) {
    return std::string();
}

constexpr Placement kLeading = Placement::kLeading;
constexpr Placement kPositional = Placement::kPositional;
constexpr Placement kAlone = Placement::kAlone;

const TavrinOption kOptions[] = {
    {"--table", nullptr, nullptr, kLeading,
     "one tab-separated row per tree, with its status, instead of the report",
     take_flag<RunConfig, &RunConfig::table>},
    {"--outliers", nullptr, "K", kLeading,
     "analyse a tree without the 1 to K leaves that break the target clade", take_outliers},
    {"--sister-purity", nullptr, "F", kLeading,
     "name each sister clade by the most specific name that at least a share F (0.5 < F <= 1) "
     "of its leaves pass, the others scattered (no clade of two or more of them); the table "
     "lists them as strays",
     take_sister_purity},
    {"--standard-newick", nullptr, nullptr, kLeading,
     "read standard Newick: quoted names, comments, blanks and line breaks, several trees per "
     "file (headers <File>:<k>:)",
     take_standard_newick},
    {"--support-field", nullptr, "N", kLeading,
     "read the support from the N-th '/'-separated part of a label (2 for IQ-TREE's "
     "SH-aLRT/UFBoot bootstrap)",
     take_support_field},
    {"--separator", nullptr, "C", kLeading,
     "the leaf prefix ends at the first byte C instead of the first '-'", take_separator},
    {"--draw", nullptr, "DIR", kLeading,
     "draw every tree around its target: one SVG file per tree in DIR", take_draw},
    {"--label", nullptr, "NAME", kLeading,
     "name the run: the table's label column, and pictures named <NAME>_<n>_<target>_<base>.svg",
     take_label},
    {"--targets", nullptr, "LIST", kLeading,
     "analyse each tree for each target of the comma-separated LIST (\\, for a comma), in "
     "order; the search prefix is then left out: the output is that of one run per target, "
     "file by file",
     take_targets},
    {"--root", nullptr, "LIST", kLeading,
     "root each tree by the first entry of LIST (comma-separated) that applies: an outgroup's "
     "prefix, midpoint, or given (as read)",
     take_root},
    {"--root-strays", nullptr, "K", kLeading,
     "with --root: an outgroup that is not one side still roots the tree on the side holding "
     "three quarters of its leaves and at most K others (0 to 10; 0, the default: never)",
     take_root_strays},
    {"--support-attribute", nullptr, "NAME", kLeading,
     "with --standard-newick: the support is attribute NAME of a node's comments, [&NAME=...] "
     "or [&&NHX:NAME=...] (MrBayes prob, BEAST posterior, NHX B)",
     take_support_attribute},
    {"--burnin", nullptr, "N", kLeading,
     "with --standard-newick: skip the first N trees of each file", take_burnin},
    {"--threads", nullptr, "N", kLeading,
     "analyse trees on N threads (1 to 1024, or auto: the processors this process may use); "
     "the output is the same",
     take_threads},
    {"--progress", nullptr, nullptr, kLeading,
     "tell how far the run is on standard error: files and trees done, trees per second, the "
     "time spent and left",
     take_flag<RunConfig, &RunConfig::progress>},
    {"-h", "-?", nullptr, kPositional, "print the short help text on standard error", take_nothing},
    {"--groupFile", nullptr, "<groupFile>", kPositional,
     "name and join clades through the groups of <groupFile>", take_group_file},
    {"--E", nullptr, nullptr, kPositional, "find the target leaves by regular expression search",
     take_regex},
    {"--help", nullptr, nullptr, kAlone, "print this usage", take_nothing},
    {"--version", nullptr, nullptr, kAlone, "print the version", take_nothing},
};

// The positional arguments, for the usage and the help.
constexpr const char* kSearchPrefix = "<SearchPrefix>";
constexpr const char* kFiles = "<File1> <File2> ...";
const OptionHelp kArguments[] = {
    {kSearchPrefix, "", "",
     "the target group: leaf names starting with it (a pattern with --E); left out with "
     "--targets"},
    {kFiles, "", "",
     "tree files in Newick format: one tree each, or with --standard-newick several, NEXUS tree "
     "files, gzip-compressed files, and - for standard input"},
};
constexpr std::size_t kHelpColumn = 27;

const TavrinOption& option_named(Placement placement, const char* name) {
    return *find_option(kOptions, placement, name);
}

// Options that only make sense together with another, or not together: the message, or an
// empty string.
std::string check_combinations(const std::vector<const TavrinOption*>& given,
                               const RunConfig& config) {
    const auto was_given = [&given](const char* name) {
        return std::find(given.begin(), given.end(), &option_named(kLeading, name)) != given.end();
    };
    for (const char* needs_standard : {"--support-attribute", "--burnin"}) {
        if (was_given(needs_standard) && config.read.dialect != Dialect::kStandard) {
            return needs_standard + std::string(messages::kNeedsStandardNewick);
        }
    }
    if (was_given("--support-attribute") && was_given("--support-field")) {
        return messages::kAttributeOrField;
    }
    // Without a rooting nothing is set aside: a tolerance asked for would silently do nothing.
    // 0, the default, holds with or without one.
    if (config.analysis.root.max_strays > 0 && !was_given("--root")) {
        return messages::kStraysNeedRoot;
    }
    return std::string();
}

// The leading options from args[0] on, into `line`; the index of the first argument that is not
// one of them. False, with the error set in `line`, when one cannot be taken.
bool parse_leading(const std::vector<std::string>& args, CommandLine& line, std::size_t& next) {
    std::vector<const TavrinOption*> given;
    for (next = 0; next < args.size(); ++next) {
        const TavrinOption* option = find_option(kOptions, kLeading, args[next]);
        if (option == nullptr) break;
        if (std::find(given.begin(), given.end(), option) != given.end()) {
            line.error = std::string(messages::kOptionTwice) + option->name;
            return false;
        }
        given.push_back(option);
        std::string value;
        if (option->value != nullptr) {
            if (next + 1 >= args.size()) {
                line.error = std::string(messages::kMissingValue) + option->name;
                return false;
            }
            value = args[++next];
        }
        line.error = option->take(option->name, value, line.config);
        if (!line.error.empty()) return false;
    }
    line.config.leading_options = !given.empty();
    line.error = check_combinations(given, line.config);
    return line.error.empty();
}

// The classic positional shapes, from args[start] on. False when they ask for the short help or
// are too few to run.
bool parse_positional(const std::vector<std::string>& args, std::size_t start, RunConfig& config) {
    const std::size_t count = args.size() - start + 1;  // as if args[start] came first
    const auto at = [&args, start](std::size_t k) -> const std::string& {
        return args[start + k - 1];
    };
    const TavrinOption& help = option_named(kPositional, "-h");
    if (count < 3 || at(1) == help.name || at(1) == help.alias) return false;
    std::string prefix = at(1);
    std::size_t first_file = 2;
    const TavrinOption& group_file = option_named(kPositional, "--groupFile");
    if (prefix == group_file.name) {
        if (count < 4) return false;
        group_file.take(group_file.name, at(2), config);
        prefix = at(3);
        first_file = 4;
    }
    const TavrinOption& regex = option_named(kPositional, "--E");
    if (prefix == regex.name) {
        regex.take(regex.name, std::string(), config);
        const std::size_t prefix_at = config.group_file.empty() ? 2 : 4;
        if (count <= prefix_at) return false;
        prefix = at(prefix_at);
        first_file = prefix_at + 1;
    }
    config.analysis.prefix = std::move(prefix);
    config.files.assign(args.begin() + static_cast<std::ptrdiff_t>(start + first_file - 1),
                        args.end());
    return true;
}

// With --targets the search prefix is left out: the positional arguments are read as the classic
// shapes with the first target standing where the prefix would, after --groupFile and --E.
std::vector<std::string> with_prefix_place(const std::vector<std::string>& args, std::size_t start,
                                           const std::string& target) {
    std::vector<std::string> shaped(args.begin(),
                                    args.begin() + static_cast<std::ptrdiff_t>(start));
    std::size_t at = start;
    const auto take = [&](const char* name, std::size_t values) {
        if (at < args.size() && args[at] == option_named(kPositional, name).name) {
            for (std::size_t k = 0; k <= values && at < args.size(); ++k)
                shaped.push_back(args[at++]);
        }
    };
    const TavrinOption& help = option_named(kPositional, "-h");
    if (at < args.size() && (args[at] == help.name || args[at] == help.alias)) return args;
    take("--groupFile", 1);
    take("--E", 0);
    shaped.push_back(target);
    shaped.insert(shaped.end(), args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
    return shaped;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.size() == 1 && find_option(kOptions, kAlone, args[0]) != nullptr) {
        line.request =
            args[0] == option_named(kAlone, "--help").name ? Request::kUsage : Request::kVersion;
        return line;
    }
    std::size_t next = 0;
    if (!parse_leading(args, line, next)) {
        line.request = Request::kError;
        return line;
    }
    const std::vector<std::string> shaped =
        line.config.targets.empty() ? args
                                    : with_prefix_place(args, next, line.config.targets.front());
    line.request =
        parse_positional(shaped, next, line.config) ? Request::kRun : Request::kShortHelp;
    return line;
}

void write_usage(std::ostream& out) {
    std::vector<std::string> items;
    for (const Placement placement : {kLeading, kPositional}) {
        for (const OptionHelp& option : help_of(kOptions, placement))
            items.push_back(usage_item(option));
    }
    items.push_back(kSearchPrefix);
    items.push_back(kFiles);
    out << usage_lines("Usage: Tavrin", items);
    for (const OptionHelp& option : help_of(kOptions, kAlone))
        out << "       Tavrin " << option.name << '\n';
    out << "\nFor each tree file, the sister clades of the target group and their support.\n"
        << "\nArguments:\n";
    for (const OptionHelp& argument : kArguments)
        write_help_entry(out, argument.name, argument.help, kHelpColumn);
    out << "\nOptions before the positional arguments, in any order, each at most once:\n";
    write_help_entries(out, help_of(kOptions, kLeading), kHelpColumn);
    out << "\nOptions at their place among the positional arguments (-h or -? first;\n"
           "--groupFile first; --E first or right after the group file):\n";
    write_help_entries(out, help_of(kOptions, kPositional), kHelpColumn);
    out << "\nAlone:\n";
    write_help_entries(out, help_of(kOptions, kAlone), kHelpColumn);
}

}  // namespace tavrin
