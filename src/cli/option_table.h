// Options declared once: each program lists its options in one table of Option entries, and its
// parser, its --help and its usage line all come from that table.
#ifndef TAVRIN_CLI_OPTION_TABLE_H
#define TAVRIN_CLI_OPTION_TABLE_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Where an option may stand on its program's command line.
enum class Placement {
    kLeading,     // before the positional arguments, in any order, at most once
    kPositional,  // at its own place among the positional arguments
    kAlone,       // as the only argument
    kAnywhere,    // anywhere, and also written --name=VALUE
};

// One option of a command line, and what its value does to a program's configuration.
template <typename Config>
struct Option {
    const char* name;   // as written: "--root"
    const char* alias;  // another spelling ("-?" for "-h"), or null
    const char* value;  // the value's name in the help ("LIST"); null for a flag
    Placement placement;
    const char* help;  // one sentence, wrapped by the help writer
    // Takes the value (empty for a flag) into the configuration; the error message, or an
    // empty string when the value was taken.
    std::string (*take)(const char* name, const std::string& value, Config& config);
};

// The `take` of a flag that sets the member `Flag` of the configuration.
template <typename Config, bool Config::*Flag>
std::string take_flag(const char*, const std::string&, Config& config) {
    config.*Flag = true;
    return std::string();
}

// The entry of `table` placed at `placement` and named `name` (or so aliased), or null.
template <typename Config, std::size_t N>
const Option<Config>* find_option(const Option<Config> (&table)[N], Placement placement,
                                  std::string_view name) {
    for (const Option<Config>& option : table) {
        if (option.placement != placement) continue;
        if (name == option.name || (option.alias != nullptr && name == option.alias))
            return &option;
    }
    return nullptr;
}

// What the help writers need of an entry: its names, value name and sentence.
struct OptionHelp {
    std::string_view name;
    std::string_view alias;  // empty when there is none
    std::string_view value;  // empty for a flag
    std::string_view help;
};

// The entries of `table` placed at `placement`, in the table's order.
template <typename Config, std::size_t N>
std::vector<OptionHelp> help_of(const Option<Config> (&table)[N], Placement placement) {
    std::vector<OptionHelp> help;
    for (const Option<Config>& option : table) {
        if (option.placement != placement) continue;
        help.push_back({option.name, option.alias != nullptr ? option.alias : "",
                        option.value != nullptr ? option.value : "", option.help});
    }
    return help;
}

// `[--name VALUE]`, `[--name]` for a flag, `[-h|-?]` with an alias.
std::string usage_item(const OptionHelp& option);

// `lead` then `items`, separated by blanks, wrapped before the 80th column; continuation lines
// are indented by the width of `lead` (at most 24 columns). Ends with a line break.
std::string usage_lines(std::string_view lead, const std::vector<std::string>& items);

// One entry of a help's list: two blanks, the name and value, the sentence from `column` on
// (on the next line when the name is wider), wrapped before the 80th column.
void write_help_entry(std::ostream& out, std::string_view term, std::string_view help,
                      std::size_t column);
// The entries of `options` in that form: `--name VALUE`, or `-h, -?` with an alias.
void write_help_entries(std::ostream& out, const std::vector<OptionHelp>& options,
                        std::size_t column);

}  // namespace tavrin

#endif  // TAVRIN_CLI_OPTION_TABLE_H
