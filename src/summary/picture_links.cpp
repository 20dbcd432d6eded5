#include "summary/picture_links.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "draw/picture_file.h"
#include "platform/folder_files.h"

namespace tavrin::summary {

namespace {

bool is_picture_name(const std::string& name) {
    constexpr std::string_view kSuffix = ".svg";
    return name.size() > kSuffix.size() &&
           name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// The names of the pictures in `dir` (regular files ending .svg, not links), sorted.
std::vector<std::string> pictures_in(const std::string& dir) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator at(dir, error), end; !error && at != end; at.increment(error)) {
        std::error_code status_error;
        if (!fs::is_regular_file(at->symlink_status(status_error)) || status_error) continue;
        std::string name = at->path().filename().string();
        if (is_picture_name(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What a picture of the tree of `record` records as its source, and the start of its name; none
// for a row whose tree was never read, or whose fields do not read.
struct RowPicture {
    std::string source;
    std::string prefix;
};
std::optional<RowPicture> row_picture(const TreeRecord& record) {
    const TableFields fields = record.fields();
    const std::optional<TreeStatus> status = status_named(fields[Column::kStatus]);
    if (!status || *status == TreeStatus::kMalformed || *status == TreeStatus::kUnreadable)
        return std::nullopt;
    std::string file, label;
    if (!unescape_field(fields[Column::kFile], file) ||
        !unescape_field(fields[Column::kLabel], label))
        return std::nullopt;
    const std::string_view tree_field = fields[Column::kTree];
    std::size_t tree = 0;
    const char* const end = tree_field.data() + tree_field.size();
    if (tree_field.empty() || std::from_chars(tree_field.data(), end, tree).ptr != end)
        return std::nullopt;
    return RowPicture{
        tavrin::picture_source(file, tree, label),
        (label.empty() ? std::string() : label + "_") + tree_number(record.row) + "_"};
}

}  // namespace

PictureLinks find_pictures(const std::string& dir, const std::vector<TreeRecord>& records) {
    const std::vector<std::string> names = pictures_in(dir);
    const FolderFiles folder(dir);
    std::vector<bool> used(names.size(), false);
    // Each picture's recorded source, read once however many rows its name could serve (rows
    // of several tables share a number): unread, or "" for none (a source is never empty).
    std::vector<std::optional<std::string>> sources(names.size());
    PictureLinks links;
    links.names.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::optional<RowPicture> wanted = row_picture(records[i]);
        if (!wanted) continue;
        const std::string& prefix = wanted->prefix;
        for (auto at = std::lower_bound(names.begin(), names.end(), prefix);
             at != names.end() && at->compare(0, prefix.size(), prefix) == 0; ++at) {
            const auto index = static_cast<std::size_t>(at - names.begin());
            if (!sources[index]) sources[index] = source_recorded_in(folder, *at).value_or("");
            if (*sources[index] != wanted->source) continue;
            links.names[i] = *at;
            ++links.linked;
            used[index] = true;
            break;
        }
    }
    links.others = static_cast<std::size_t>(std::count(used.begin(), used.end(), false));
    return links;
}

}  // namespace tavrin::summary
