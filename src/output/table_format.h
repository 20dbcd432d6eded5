// The table: one tab-separated row per tree, saying what became of it, for a run over many trees
// that must account for every one of them. Tavrin writes it and Tavrin-summary reads it, both
// through this unit: its columns, its status names and the escapes of its fields live here only.
//
//   file  tree  target  status  sister1  sister2  support  rerooted  target_leaves  outliers
//   outlier_leaves  root  strays  root_strays  label
//
// A field holding a tab, a line break or a backslash is written with the escapes \t, \n and \\;
// a comma inside a name of a list (outlier_leaves, strays, root_strays) is written \, so that the
// list stays a list. Rows of trees read as standard Newick write every other control byte (below
// 0x20, and 0x7f) as \xHH, two lowercase hexadecimal digits, so that no name sends raw control
// bytes to a terminal. Readers find the columns by the header line; tables that end at an earlier
// column (outlier_leaves, root, strays or root_strays) are read too, and so are the tables written
// before root_strays, whose label follows strays.
#ifndef TAVRIN_OUTPUT_TABLE_FORMAT_H
#define TAVRIN_OUTPUT_TABLE_FORMAT_H

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// What became of one tree: the analysis gives all but kMalformed (a tree that could not be
// read) and kUnreadable (a file that could not be opened or decompressed).
enum class TreeStatus {
    kSisters,     // at least one sister is named
    kUnnamed,     // the target clade was found, but no sister could be named
    kNotAClade,   // some leaves are target leaves, but they form no clade, rerooted or not
    kNoTarget,    // no leaf is a target leaf
    kWholeTree,   // every leaf is a target leaf: the target is the root
    kMalformed,   // the tree's text is not a tree
    kAmbiguous,   // not a clade, and several sets of outliers of the smallest size explain it
    kNoRoot,      // no entry of the root list applies: the tree is not analysed
    kUnreadable,  // the tree file could not be opened or decompressed
};
constexpr std::size_t kTreeStatusCount = 9;

// The status column: "sisters", "not-a-clade"...
const char* status_name(TreeStatus status);
// The status named `text`; none when it names none.
std::optional<TreeStatus> status_named(std::string_view text);
// Every status name in the enum's order, joined by ", " and a last " or ".
std::string status_names_listed();

// The columns, in the order they are written.
enum class Column {
    kFile,
    kTree,
    kTarget,
    kStatus,
    kSister1,
    kSister2,
    kSupport,
    kRerooted,
    kTargetLeaves,
    kOutliers,
    kOutlierLeaves,
    kRoot,
    kStrays,
    kRootStrays,
    kLabel,
};
constexpr std::size_t kColumnCount = 15;

const char* column_name(Column column);

// The header line, without its line break.
const std::string& table_header();

// Where the columns of a table stand, as its header line gives them.
class TableLayout {
public:
    // The layout of `line` when it is the header of a table this unit can read: the columns in
    // their order, ending with outlier_leaves, root, strays, root_strays or label, or the
    // columns up to strays followed by label (a table written before root_strays). None
    // otherwise.
    static std::optional<TableLayout> of_header(std::string_view line);

    // How many fields each row holds.
    std::size_t width() const { return width_; }
    // One past the last column the table has, in the order of Column.
    std::size_t reach() const { return without_root_strays_ ? kColumnCount : width_; }
    // A table written before root_strays: its label follows strays.
    bool without_root_strays() const { return without_root_strays_; }

private:
    TableLayout(std::size_t width, bool without_root_strays)
        : width_(width), without_root_strays_(without_root_strays) {}
    std::size_t width_;
    bool without_root_strays_;
};

// A row split at its tabs: the fields as written, their escapes still in place.
class TableFields {
public:
    // Splits `line`, a row of a table laid out as `layout` (absent: the columns in their order);
    // the number of fields it holds, which may differ from the layout's width.
    std::size_t split(std::string_view line, const TableLayout* layout = nullptr);
    // The field of `column`, empty when the row is shorter.
    std::string_view operator[](Column column) const {
        return fields_[static_cast<std::size_t>(column)];
    }

private:
    std::array<std::string_view, kColumnCount> fields_{};
};

// Escapes `text` onto `out`: tabs, line breaks and backslashes; with `in_list`, a comma as well;
// with `controls`, every other control byte as \xHH.
void write_escaped(std::ostream& out, std::string_view text, bool in_list, bool controls = false);
// `text` with tabs, line breaks and backslashes escaped; with `controls`, the other control bytes
// too.
std::string escape_field(std::string_view text, bool controls = false);
// `field` with its escapes undone, into `out`; false for a backslash that starts none of them.
bool unescape_field(std::string_view field, std::string& out);

// The support column: the value as a default stream writes it (95, 0.87, 1e-07), or "n/a".
struct SupportCell {
    double value = 0;
    bool applies = false;  // false: "n/a"
};
void write_support(std::ostream& out, const SupportCell& support);

// Everything one row says. Fields left empty or absent are written as empty columns: the row of
// a tree that could not be read holds its key and status only.
struct TableRow {
    std::string_view file;    // the path as given
    std::size_t tree = 1;     // the tree's number within its file, from 1
    std::string_view target;  // the search prefix as given
    TreeStatus status = TreeStatus::kMalformed;
    const std::vector<std::string>* sisters = nullptr;  // 0, 1 or 2 names
    SupportCell support;                                // written when there is a sister
    std::optional<bool> rerooted;                       // for a target clade found
    std::optional<std::size_t> target_leaves;           // for a tree analysed
    std::optional<std::size_t> outliers;                // for a tree whose outliers were sought
    const std::vector<std::string>* outlier_leaves = nullptr;
    std::string_view root;
    const std::vector<std::string>* strays = nullptr;  // leaves the named sisters hold outside
                                                       // their names
    // The leaves that kept an outgroup from being one side, when it rooted the tree all the same.
    const std::vector<std::string>* root_strays = nullptr;
    std::string_view label;  // the run's label
    bool controls = false;   // names read as standard Newick: every control byte escaped
    // The file and tree cells as append_row_key writes them, when the caller keeps them for the
    // rows of several targets of one tree; empty: written from `file` and `tree`.
    std::string_view key_cells;
};

void write_table_row(std::ostream& out, const TableRow& row);
// Appends the row to `line`, as write_table_row writes it.
void append_table_row(std::string& line, const TableRow& row);
// Appends a row's first two cells, its file and tree number, each with the tab that ends it.
void append_row_key(std::string& line, std::string_view file, std::size_t tree, bool controls);

}  // namespace tavrin

#endif  // TAVRIN_OUTPUT_TABLE_FORMAT_H
