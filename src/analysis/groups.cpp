// The group file and the group relations.
#if __has_include(<sys/stat.h>)
#include <sys/stat.h>
#else
#include <filesystem>
#endif

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "analysis/group_index.h"
#include "analysis/messages.h"
#include "analysis/tavrin.h"

namespace {

bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_directory(const std::string& path) {
#if __has_include(<sys/stat.h>)
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#else
    std::error_code error;
    return std::filesystem::is_directory(path, error);
#endif
}

}  // namespace

const GroupIndex& Tavrin::index() const {
    if (!index_) index_ = std::make_unique<GroupIndex>();
    index_->sync(groups);
    return *index_;
}

void Tavrin::groupConfig(std::string path) {
    // A directory opens on some systems but yields nothing: it is a file that cannot be read.
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open() || is_directory(path)) {
        std::cerr << tavrin::messages::kCannotOpenGroupFile << path << std::endl;
        exit_status = tavrin::messages::kFatalInputStatus;
        return;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    index();  // make sure the index exists and covers the list
    // Tokens two at a time: a group, then its member (empty for a final unpaired token).
    size_t p = 0;
    const size_t n = text.size();
    auto next_token = [&](std::string& token) {
        while (p < n && is_separator(text[p]))
            ++p;
        if (p >= n) return false;
        const size_t start = p;
        while (p < n && !is_separator(text[p]))
            ++p;
        token.assign(text, start, p - start);
        return true;
    };
    std::string group, member;
    while (next_token(group)) {
        const bool paired = next_token(member);
        if (!paired) member.clear();
        if (!index_->add_with_closure(group, member)) {
            std::cerr << tavrin::messages::kGroupFileTooLarge << path << " ("
                      << GroupIndex::kMaxPairs << " pairs)" << std::endl;
            exit_status = tavrin::messages::kFatalInputStatus;
            index_.reset();
            return;
        }
        if (!paired) break;
    }
    index_->publish(groups);
}

bool Tavrin::sameGroup(std::string a, std::string b) const {
    if (a == b) return true;
    return index().same_group(a, b);
}

std::string Tavrin::lowest_common_group(std::string a, std::string b) const {
    const GroupIndex& idx = index();
    const uint32_t g = idx.first_common_group(a, b);
    return g == GroupIndex::kNone ? std::string() : idx.name(g);
}
