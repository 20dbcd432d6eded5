// What the comments attached to an internal node say about its support. Bayesian programs and
// their summaries write supports as attributes: MrBayes and BEAST `[&prob=0.97,prob_stddev=0.01]`,
// TreeAnnotator `[&posterior=0.97,height_95%_HPD={1.2,3.4}]`, NHX `[&&NHX:B=97:S=human]`; RAxML's
// branch-label files write a bare number after the length, `(A,B):0.0568[100]`.
//
// A comment here is the text between '[' and ']'.
#ifndef TAVRIN_TREE_NODE_COMMENTS_H
#define TAVRIN_TREE_NODE_COMMENTS_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The first attribute `name` of a comment (names compared byte for byte), and its value read as
// numbers are read: quotes around it removed, the first element of a list `{a,b}`.
struct AttributeValue {
    bool found = false;     // the comment holds the attribute
    bool number = false;    // its value holds a number: `value`; else `value` is 0
    double value = 0;       // too large a number (1e400) is none, as "inf" and "nan" are none
    std::string_view text;  // the value as written, blanks around it removed (views the comment)
};
AttributeValue attribute_value(std::string_view comment, std::string_view name);

// Does the comment hold one number and nothing else (blanks around it allowed)? Its value then.
// A number too large to hold (1e400) is none, as for the attributes.
bool bare_number(std::string_view comment, double& value);

// Across the trees of one file: does any internal node have a support other than 0, and what
// values do the comments of internal nodes hold? A file whose every support reads 0 while its
// comments hold values was most likely read with the wrong source of supports.
class SupportNotes {
public:
    // Most attribute names kept for the warning.
    static constexpr std::size_t kMostNames = 5;

    void note_support(double support) {
        if (support != 0) supported_ = true;
    }
    // Names matter only as long as no support was found.
    bool wanted() const { return !supported_; }
    void note_comment(std::string_view comment);
    // The support attribute was found on an internal node with a value that holds no number
    // (`high`, `nan`, `{}`, nothing): the first such value is kept, cut after kMostExampleBytes
    // bytes (then followed by "...").
    static constexpr std::size_t kMostExampleBytes = 40;
    void note_no_number(std::string_view value);
    // The first value of the support attribute that held no number, if any did.
    const std::optional<std::string>& attribute_without_number() const { return no_number_; }
    // The values the comments hold, for a file whose supports all read 0: the attribute names
    // seen, in order, at most five, joined by ", " (and "bare numbers" when one was seen). Empty
    // when some support was found or no comment held a value.
    std::string unused_values() const;

private:
    bool supported_ = false;
    bool bare_numbers_ = false;
    std::vector<std::string> names_;
    std::optional<std::string> no_number_;
};

}  // namespace tavrin

#endif  // TAVRIN_TREE_NODE_COMMENTS_H
