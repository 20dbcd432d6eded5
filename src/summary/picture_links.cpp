#include "summary/picture_links.h"

#include <algorithm>
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

// The names a picture of the tree of `record` may have (a first tree's name has no tree number
// unless its file held several) and the source it records; none for a row whose tree was never
// read, or whose tree field does not read.
struct RowPicture {
    std::string source;
    std::string names[2];
};
std::optional<RowPicture> row_picture(const TreeRecord& record) {
    if (record.status == TreeStatus::kMalformed || record.status == TreeStatus::kUnreadable ||
        record.tree == 0)
        return std::nullopt;
    PictureSource source{record.file, record.tree, record.tree > 1, record.target, record.label};
    const PictureIdentity identity(source);
    RowPicture picture{identity.source(), {identity.name(record.row), std::string()}};
    if (record.tree == 1) {
        source.several = true;
        picture.names[1] = PictureIdentity(source).name(record.row);
    }
    return picture;
}

}  // namespace

PictureLinks find_pictures(const std::string& dir, const std::vector<TreeRecord>& records) {
    const std::vector<std::string> names = pictures_in(dir);
    const FolderFiles folder(dir);
    std::vector<bool> used(names.size(), false);
    // Each picture's recorded source, read once however many rows name it (the same tree in two
    // tables read): unread, or "" for none (a source is never empty).
    std::vector<std::optional<std::string>> sources(names.size());
    PictureLinks links;
    links.names.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::optional<RowPicture> wanted = row_picture(records[i]);
        if (!wanted) continue;
        for (const std::string& name : wanted->names) {
            const auto at = std::lower_bound(names.begin(), names.end(), name);
            if (name.empty() || at == names.end() || *at != name) continue;
            // A name is one row's: its number and target are the row's. The picture is trusted
            // only when the source it records is the row's too.
            const auto index = static_cast<std::size_t>(at - names.begin());
            if (!sources[index]) sources[index] = source_recorded_in(folder, name).value_or("");
            if (*sources[index] != wanted->source) continue;
            links.names[i] = name;
            ++links.linked;
            used[index] = true;
            break;
        }
    }
    links.others = static_cast<std::size_t>(std::count(used.begin(), used.end(), false));
    return links;
}

}  // namespace tavrin::summary
