#include "draw/picture_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "draw/xml_text.h"
#include "output/table_format.h"

namespace tavrin {

namespace {

bool is_name_byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

constexpr std::string_view kMetadataOpen = "<metadata>";
constexpr std::string_view kMetadataClose = "</metadata>";
// A picture's <metadata> comes right after its title, within 128 KiB of its start (the title is
// cut; the file's name, escaped twice, may take some 50 KB): what is read of a picture for it.
constexpr HeadExtent kSourceExtent{128 * 1024, kMetadataClose};

}  // namespace

std::string picture_name(std::string_view path, std::size_t number, std::size_t tree, bool several,
                         std::string_view label) {
    std::string_view base = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
    std::string name(label);
    if (!label.empty()) name += '_';
    name += tree_number(number);
    name += '_';
    const std::string suffix = (several ? '_' + std::to_string(tree) : std::string()) + ".svg";
    // The name is cut in its base, the only part of unbounded length.
    const std::size_t room =
        kMaxPictureName - std::min(kMaxPictureName, name.size() + suffix.size());
    for (const char c : base.substr(0, room))
        name += is_name_byte(c) ? c : '_';
    return name + suffix;
}

std::string tree_number(std::size_t number) {
    std::string digits = std::to_string(number);
    return std::string(digits.size() < 6 ? 6 - digits.size() : 0, '0') + digits;
}

std::string picture_source(std::string_view file, std::size_t tree, std::string_view label) {
    return xml_text(escape_field(file)) + '\t' + std::to_string(tree) + '\t' +
           xml_text(escape_field(label));
}

std::optional<std::string_view> recorded_source(std::string_view svg) {
    const std::size_t open = svg.find(kMetadataOpen);
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t from = open + kMetadataOpen.size();
    const std::size_t close = svg.find(kMetadataClose, from);
    if (close == std::string_view::npos) return std::nullopt;
    return svg.substr(from, close - from);
}

std::optional<std::string> source_recorded_in(const FolderFiles& folder, const std::string& name) {
    const std::optional<std::string> head = folder.read_head(name, kSourceExtent);
    const std::optional<std::string_view> recorded = head ? recorded_source(*head) : std::nullopt;
    if (!recorded) return std::nullopt;
    return std::string(*recorded);
}

int make_picture_folder(const std::string& dir) {
    std::error_code error;
    if (std::filesystem::is_directory(dir, error)) return 0;
    std::filesystem::create_directories(dir, error);
    if (!error && std::filesystem::is_directory(dir, error)) return 0;
    return error ? error.value() : ENOTDIR;
}

int PictureFolder::write(const std::string& name, const std::string& svg, std::string_view source) {
    // What the entry held before: a picture of another tree is counted once it is replaced.
    std::optional<std::string> before;
    const int error = files_.replace(name, svg, &before, kSourceExtent);
    const std::optional<std::string_view> recorded =
        before ? recorded_source(*before) : std::nullopt;
    if (error == 0 && recorded && *recorded != source) {
        if (replaced_others_++ == 0) first_replaced_ = name;
    }
    return error;
}

}  // namespace tavrin
