#include "draw/picture_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "draw/xml_text.h"
#include "output/table_format.h"

namespace tavrin {

bool is_name_byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

namespace {

// `text` equals `lower` (lower-case ASCII) but for the case of its letters.
bool same_caseless(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

constexpr std::string_view kMetadataOpen = "<metadata>";
constexpr std::string_view kMetadataClose = "</metadata>";
// A picture's <metadata> comes right after its title, within 128 KiB of its start (the title is
// cut; the file's name, escaped twice, may take some 50 KB): what is read of a picture for it.
constexpr HeadExtent kSourceExtent{128 * 1024, kMetadataClose};

}  // namespace

std::string_view picture_base(std::string_view path) {
    std::string_view base = path.substr(path.find_last_of('/') + 1);
    const auto ends_with = [&base](std::string_view end) {
        // A name that is all extension stays whole.
        return base.size() > end.size() &&
               same_caseless(base.substr(base.size() - end.size()), end);
    };
    if (ends_with(".gz")) base.remove_suffix(3);
    // ".run<N>.t" before ".t": the run number belongs to the extension.
    if (ends_with(".t")) {
        const std::size_t dot = base.size() - 2;
        std::size_t digits = dot;
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(base[digits - 1])))
            --digits;
        if (digits < dot && digits > 4 && same_caseless(base.substr(digits - 4, 4), ".run")) {
            base.remove_suffix(base.size() - (digits - 4));
            return base;
        }
    }
    // Longest first where one ends another.
    for (const std::string_view extension :
         {".con.tre", ".treefile", ".contree", ".newick", ".nexus", ".trees", ".tree", ".tre",
          ".nwk", ".nex", ".t"}) {
        if (ends_with(extension)) {
            base.remove_suffix(extension.size());
            break;
        }
    }
    return base;
}

PictureIdentity::PictureIdentity(const PictureSource& source)
    : label_(source.label),
      suffix_((source.several ? '_' + std::to_string(source.tree) : std::string()) + ".svg"),
      source_(xml_text(escape_field(source.file)) + '\t' + std::to_string(source.tree) + '\t' +
              xml_text(escape_field(source.target)) + '\t' + xml_text(escape_field(source.label))) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const char c : source.target) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = c != '_' && is_name_byte(c);
        if (stem_.size() + (kept ? 1 : 3) > kMaxPictureTarget) break;
        if (kept) {
            stem_ += c;
        } else {
            stem_ += '%';
            stem_ += kHex[byte >> 4];
            stem_ += kHex[byte & 0xf];
        }
    }
    stem_ += '_';
    for (const char c : picture_base(source.file))
        stem_ += is_name_byte(c) ? c : '_';
}

std::string PictureIdentity::name(std::size_t number) const {
    std::string name(label_);
    if (!label_.empty()) name += '_';
    const std::string digits = std::to_string(number);  // zero-padded to six digits
    name.append(digits.size() < 6 ? 6 - digits.size() : 0, '0');
    name += digits;
    name += '_';
    // The name is cut in its base, the only part of unbounded length.
    const std::size_t room =
        kMaxPictureName - std::min(kMaxPictureName, name.size() + suffix_.size());
    name.append(stem_, 0, room);
    return name + suffix_;
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
