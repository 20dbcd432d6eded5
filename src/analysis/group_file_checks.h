// What a group file holds that its reader takes otherwise than its writer most likely meant, said
// as warnings while the file is loaded:
//
//   - a line of one token or of three and more: tokens are paired across lines, so every pair
//     after it is shifted (a "# comment" line, a header line, one extra word);
//   - a UTF-8 byte order mark at the start: it becomes part of the first group's name;
//   - a line "X G" after which G gained a member M that X never received: membership is carried
//     up only as far as the list knows it when a line is read, so the larger group misses it.
//
// The pairs read are those of the file whatever it holds: the warnings change nothing.
#ifndef TAVRIN_ANALYSIS_GROUP_FILE_CHECKS_H
#define TAVRIN_ANALYSIS_GROUP_FILE_CHECKS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class GroupFileChecks {
public:
    // Warnings written for one file; the others are counted in one closing line.
    static constexpr std::size_t kShown = 10;

    // The file begins with a UTF-8 byte order mark.
    void byte_order_mark();
    // Line `line` holds `count` tokens, neither 0 nor 2, the first of them `first`.
    void token_count(std::size_t line, std::size_t count, std::string_view first);
    // Line `line` reads "`group` `subgroup`", and `member`, a member of `subgroup`, is not one of
    // `group`. Calls come in line order.
    void lost_member(std::size_t line, std::string_view group, std::string_view subgroup,
                     std::string_view member);

    // Whether line `line` was reported for its number of tokens. Asked in line order, after the
    // whole file was read.
    bool line_is_misshapen(std::size_t line);

    std::size_t count() const { return count_; }

    // "Warning: <path>:<line>: <what>" for the first kShown warnings in line order, then
    // "Warning: <path>: <N> more" when there are more.
    void write(std::ostream& err, const std::string& path) const;

private:
    struct Warning {
        std::size_t line;
        std::string what;
    };
    // Counts one more warning; whether it is among the first kShown of `kept`, its kind.
    bool counted(const std::vector<Warning>& kept);

    std::vector<Warning> shape_;    // the first kShown of the byte order mark and token counts
    std::vector<Warning> members_;  // the first kShown lost members
    std::vector<std::size_t> misshapen_lines_;  // every line reported for its tokens, in order
    std::size_t next_misshapen_ = 0;            // where line_is_misshapen looks next
    std::size_t count_ = 0;                     // every warning, shown or not
};

// The tokens of a group file's text in order, with the line each stands on, checking the shape of
// every line on the way: one pass over the text.
class GroupFileTokens {
public:
    GroupFileTokens(std::string_view text, GroupFileChecks& checks);

    // The next token and its line (from 1); false at the end of the text.
    bool next(std::string& token, std::size_t& line);

private:
    void end_line();

    std::string_view text_;
    GroupFileChecks& checks_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
    std::size_t line_tokens_ = 0;  // tokens read so far on the current line
    std::size_t line_first_ = 0;   // offset of the current line's first token
    std::size_t first_size_ = 0;   // and its size
};

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_GROUP_FILE_CHECKS_H
