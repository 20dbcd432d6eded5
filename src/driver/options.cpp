#include "driver/options.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>

#include "analysis/escapes.h"
#include "analysis/leaf_matching.h"
#include "analysis/root_list.h"
#include "messages.h"
#include "tree/numbers.h"

namespace tavrin {

namespace {

// An option that may stand before the positional arguments, and what it sets: a flag, or what
// `read` makes of its value. `read` answers an error message, or an empty string when the value
// was taken.
struct LeadingOption {
    const char* name;
    bool Options::*flag;
    std::string (*read)(const char* name, const std::string& value, Options& options);
};

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

const LeadingOption kLeadingOptions[] = {
    {"--table", &Options::table, nullptr},
    {"--outliers", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         return read_count(name, value, kMaxOutliers, options.max_outliers);
     }},
    {"--standard-newick", &Options::standard_newick, nullptr},
    {"--support-field", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         std::string error = read_count(name, value, kMaxSupportField, options.support_field);
         if (error.empty() && options.support_field == 0) {
             error = value_error(messages::kValueBelowOne, name, value);
         }
         return error;
     }},
    {"--separator", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         // One byte that may end a leaf prefix.
         if (value.size() != 1) return value_error(messages::kNotOneByte, name, value);
         if (!is_valid_separator(value[0])) {
             return value_error(messages::kNotASeparator, name, value) +
                    messages::kSeparatorsAllowed;
         }
         options.separator = value[0];
         return std::string();
     }},
    {"--draw", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         // A folder, or a path where one can be made; it is made when the run begins.
         std::error_code error;
         const auto status = std::filesystem::status(value, error);
         if (value.empty() ||
             (std::filesystem::exists(status) && !std::filesystem::is_directory(status))) {
             return value_error(messages::kNotAFolder, name, value);
         }
         options.draw_dir = value;
         return std::string();
     }},
    {"--root", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         std::vector<std::string> entries;
         if (!split_root_list(value, entries)) {
             return value_error(value.empty() ? messages::kEmptyList : messages::kEmptyListEntry,
                                name, value);
         }
         options.root = value;
         return std::string();
     }},
    {"--support-attribute", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         if (value.empty()) return std::string(messages::kEmptyName) + name;
         options.support_attribute = value;
         return std::string();
     }},
    {"--burnin", nullptr,
     [](const char* name, const std::string& value, Options& options) {
         return read_count(name, value, kMaxBurnin, options.burnin);
     }},
};

const LeadingOption* find_leading_option(const std::string& argument) {
    for (const LeadingOption& option : kLeadingOptions) {
        if (argument == option.name) return &option;
    }
    return nullptr;
}

// Options that only make sense together with another, or not together: the message, or an
// empty string.
std::string check_combinations(const bool given[], const Options& options) {
    const auto was_given = [given](const char* name) {
        return given[static_cast<std::size_t>(find_leading_option(name) - kLeadingOptions)];
    };
    for (const char* needs_standard : {"--support-attribute", "--burnin"}) {
        if (was_given(needs_standard) && !options.standard_newick) {
            return needs_standard + std::string(messages::kNeedsStandardNewick);
        }
    }
    if (was_given("--support-attribute") && was_given("--support-field")) {
        return messages::kAttributeOrField;
    }
    return std::string();
}

// The classic positional shapes, from `arg[start]` on. False when they ask for the short help
// or are too few to run.
bool parse_positional(const std::vector<std::string>& arg, std::size_t start, Options& options) {
    const std::size_t count = arg.size() - start + 1;  // as if arg[start] came first
    const auto at = [&arg, start](std::size_t k) -> const std::string& {
        return arg[start + k - 1];
    };
    if (count < 3 || at(1) == "-h" || at(1) == "-?") return false;
    options.prefix = at(1);
    std::size_t first_file = 2;
    if (options.prefix == "--groupFile") {
        if (count < 4) return false;
        options.group_file = at(2);
        options.prefix = at(3);
        first_file = 4;
    }
    if (options.prefix == "--E") {
        options.use_regex = true;
        const std::size_t prefix_at = options.group_file.empty() ? 2 : 4;
        if (count <= prefix_at) return false;
        options.prefix = at(prefix_at);
        first_file = prefix_at + 1;
    }
    options.first_file = start + first_file - 1;
    return true;
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arg, Options& options) {
    ParsedCommandLine parsed;
    if (arg.size() == 2 && arg[1] == "--help") {
        parsed.request = Request::kUsage;
        return parsed;
    }
    bool given[std::size(kLeadingOptions)] = {};
    std::size_t next = 1;
    while (next < arg.size()) {
        const LeadingOption* option = find_leading_option(arg[next]);
        if (option == nullptr) break;
        parsed.request = Request::kError;
        bool& seen = given[static_cast<std::size_t>(option - kLeadingOptions)];
        if (seen) {
            parsed.error = std::string(messages::kOptionTwice) + option->name;
            return parsed;
        }
        seen = true;
        if (option->flag != nullptr) {
            options.*option->flag = true;
        } else if (next + 1 >= arg.size()) {
            parsed.error = std::string(messages::kMissingValue) + option->name;
            return parsed;
        } else {
            parsed.error = option->read(option->name, arg[++next], options);
            if (!parsed.error.empty()) return parsed;
        }
        ++next;
    }
    parsed.error = check_combinations(given, options);
    if (!parsed.error.empty()) {
        parsed.request = Request::kError;
        return parsed;
    }
    parsed.request = parse_positional(arg, next, options) ? Request::kRun : Request::kShortHelp;
    return parsed;
}

}  // namespace tavrin
