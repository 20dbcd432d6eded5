// The names that a NEXUS TRANSLATE table gives to the tokens leaves are written as. Programs
// number their leaves 1, 2, 3, ...: such tokens are looked up by their number, any other token
// (and a number far beyond the table's size, which would make the table large) by its text.
#ifndef TAVRIN_TREE_LEAF_NAMES_H
#define TAVRIN_TREE_LEAF_NAMES_H

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavrin {

class LeafNames {
public:
    LeafNames() = default;
    // The text keys view the tokens kept here: a copy would view the original's.
    LeafNames(const LeafNames&) = delete;
    LeafNames& operator=(const LeafNames&) = delete;

    // Adds `token` for `name`; false when the token has a name already.
    bool add(const std::string& token, std::string name) {
        if (find(token) != nullptr) return false;
        const std::size_t number = number_of(token);
        ++count_;
        if (number == 0 || number > 2 * count_ + 16) {
            tokens_.push_back(token);
            return by_text_.emplace(tokens_.back(), std::move(name)).second;
        }
        if (number > by_number_.size()) by_number_.resize(number);
        by_number_[number - 1] = Entry{true, std::move(name)};
        return true;
    }
    // The name of `token`, or null when the table does not have it.
    const std::string* find(std::string_view token) const {
        const std::size_t number = number_of(token);
        if (number > 0 && number <= by_number_.size() && by_number_[number - 1].given) {
            return &by_number_[number - 1].name;
        }
        if (by_text_.empty()) return nullptr;
        const auto found = by_text_.find(token);
        return found == by_text_.end() ? nullptr : &found->second;
    }

private:
    // Most numbers kept by number: a table is no longer than the leaves of its trees.
    static constexpr std::size_t kMostDigits = 7;

    struct Entry {
        bool given = false;
        std::string name;
    };

    // The token's number when it is written as one, 1 or more without leading zeros; else 0.
    static std::size_t number_of(std::string_view token) {
        if (token.empty() || token.size() > kMostDigits || token[0] == '0') return 0;
        std::size_t number = 0;
        for (const char c : token) {
            if (c < '0' || c > '9') return 0;
            number = number * 10 + static_cast<std::size_t>(c - '0');
        }
        return number;
    }

    std::size_t count_ = 0;  // tokens added
    std::vector<Entry> by_number_;
    std::deque<std::string> tokens_;  // the tokens looked up by text, where they stay
    std::unordered_map<std::string_view, std::string> by_text_;
};

}  // namespace tavrin

#endif  // TAVRIN_TREE_LEAF_NAMES_H
