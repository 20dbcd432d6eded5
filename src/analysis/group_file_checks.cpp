#include "analysis/group_file_checks.h"

#include "output/escapes.h"
#include "output/messages.h"

namespace tavrin {

namespace {

// A name quoted in a warning: escaped to stay on one line, and cut when it is long (a binary
// file read as a group file has lines of any length).
std::string quoted(std::string_view text) {
    constexpr std::size_t kLongest = 60;
    std::string out = "'" + shown_value(text.substr(0, kLongest));
    if (text.size() > kLongest) out += "...";
    return out + "'";
}

bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

// Past the warnings that can be shown only the count matters: their text is not made.
bool GroupFileChecks::counted(const std::vector<Warning>& kept) {
    ++count_;
    return kept.size() < kShown;
}

void GroupFileChecks::byte_order_mark() {
    if (counted(shape_)) shape_.push_back(Warning{1, messages::kGroupFileByteOrderMark});
}

void GroupFileChecks::token_count(std::size_t line, std::size_t count, std::string_view first) {
    misshapen_lines_.push_back(line);
    if (!counted(shape_)) return;
    shape_.push_back(Warning{
        line, count == 1 ? messages::kGroupFileOneToken + quoted(first)
                         : std::to_string(count) + messages::kGroupFileTokens + quoted(first)});
    shape_.back().what += messages::kGroupFileTokensPaired;
}

void GroupFileChecks::lost_member(std::size_t line, std::string_view group,
                                  std::string_view subgroup, std::string_view member) {
    if (!counted(members_)) return;
    members_.push_back(Warning{line, quoted(group) + messages::kGroupFileDoesNotHold +
                                         quoted(member) + messages::kGroupFileMemberOf +
                                         quoted(subgroup) + messages::kGroupFileLostMember});
}

bool GroupFileChecks::line_is_misshapen(std::size_t line) {
    while (next_misshapen_ < misshapen_lines_.size() && misshapen_lines_[next_misshapen_] < line)
        ++next_misshapen_;
    return next_misshapen_ < misshapen_lines_.size() && misshapen_lines_[next_misshapen_] == line;
}

void GroupFileChecks::write(std::ostream& err, const std::string& path) const {
    // Both lists are in line order: merged, the first kShown of them are the first kShown of all.
    std::vector<const Warning*> shown;
    auto shape = shape_.begin();
    auto member = members_.begin();
    while (shown.size() < kShown && (shape != shape_.end() || member != members_.end())) {
        const bool take_shape =
            member == members_.end() || (shape != shape_.end() && shape->line <= member->line);
        shown.push_back(take_shape ? &*shape++ : &*member++);
    }
    for (const Warning* warning : shown)
        err << messages::kWarning << path << ':' << warning->line << ": " << warning->what << '\n';
    if (count_ > shown.size()) {
        err << messages::kWarning << path << ": " << count_ - shown.size()
            << messages::kWarningsMore << '\n';
    }
    err.flush();
}

GroupFileTokens::GroupFileTokens(std::string_view text, GroupFileChecks& checks)
    : text_(text), checks_(checks) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") checks_.byte_order_mark();
}

void GroupFileTokens::end_line() {
    if (line_tokens_ != 0 && line_tokens_ != 2) {
        checks_.token_count(line_, line_tokens_, text_.substr(line_first_, first_size_));
    }
    line_tokens_ = 0;
}

bool GroupFileTokens::next(std::string& token, std::size_t& line) {
    const std::size_t n = text_.size();
    while (at_ < n && is_separator(text_[at_])) {
        // Lines end in LF, CR LF, or a lone CR (as some spreadsheets still save text).
        const bool line_break =
            text_[at_] == '\n' || (text_[at_] == '\r' && (at_ + 1 == n || text_[at_ + 1] != '\n'));
        if (line_break) {
            end_line();
            ++line_;
        }
        ++at_;
    }
    if (at_ >= n) {
        end_line();
        return false;
    }
    const std::size_t start = at_;
    while (at_ < n && !is_separator(text_[at_]))
        ++at_;
    if (line_tokens_++ == 0) {
        line_first_ = start;
        first_size_ = at_ - start;
    }
    token.assign(text_.data() + start, at_ - start);
    line = line_;
    return true;
}

}  // namespace tavrin
