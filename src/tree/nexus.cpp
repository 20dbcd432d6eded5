#include "tree/nexus.h"

#include <cstring>
#include <utility>

#include "tree/byte_classes.h"
#include "tree/standard_newick.h"

namespace tavrin {

namespace {

constexpr char kNexus[] = "#NEXUS";
constexpr std::size_t kNexusSize = sizeof kNexus - 1;

// The bytes that end a word that is not quoted (a NUL too, as it ends a C string).
constexpr ByteClasses<bool> kEndsWord{{true, " \t\r\n;=,[]'()"}};
// And those that end a command's name: '*' too, which marks the default tree of a block and
// may follow its TREE unspaced ("tree* best = ...").
constexpr ByteClasses<bool> kEndsCommand{{true, " \t\r\n;=,[]'()*"}};

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Is `word` the command `keyword` (written in capitals), in any case?
bool is_keyword(const std::string& word, const char* keyword) {
    if (word.size() != std::strlen(keyword)) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (upper(word[i]) != keyword[i]) return false;
    }
    return true;
}

// Where the NEXUS text proper starts: past the byte order mark and blanks before "#NEXUS".
std::size_t nexus_start(const std::string& text) {
    std::size_t pos = after_byte_order_mark(text);
    while (pos < text.size() && is_blank(text[pos]))
        ++pos;
    return pos;
}

// Reads the word at `pos` into `word`, `pos` moved past it: a quoted word ('' for one quote), or
// a run of bytes up to a blank or one of ";=,[]'()" (or one of `ends`). False when none starts
// there (or its quote is not closed), `pos` unmoved.
bool read_word(const std::string& text, std::size_t& pos, std::string& word,
               const ByteClasses<bool>& ends = kEndsWord) {
    word.clear();
    if (pos < text.size() && text[pos] == '\'') {
        const std::size_t end = quote_end(text, pos);
        if (end == std::string::npos) return false;
        for (std::size_t p = pos + 1; p + 1 < end; ++p) {
            word += text[p];
            if (text[p] == '\'') ++p;  // the second quote of ''
        }
        pos = end;
        return true;
    }
    const std::size_t first = pos;
    while (pos < text.size() && text[pos] != '\0' && !ends[text[pos]])
        ++pos;
    word.assign(text, first, pos - first);
    return pos > first;
}

// What stands at `pos`, for a message.
std::string found_at(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return "the end of the text";
    if (text[pos] == '[') return kCommentNotClosed;
    if (text[pos] == '\'') return kQuoteNotClosed;
    return shown_byte(text[pos]);
}

}  // namespace

bool is_nexus(const std::string& text) {
    const std::size_t start = nexus_start(text);
    if (text.size() - start < kNexusSize) return false;
    for (std::size_t i = 0; i < kNexusSize; ++i) {
        if (upper(text[start + i]) != kNexus[i]) return false;
    }
    return true;
}

NexusTrees::NexusTrees(const std::string& text) : pos_(nexus_start(text) + kNexusSize) {
    find_next(text);
}

void NexusTrees::find_next(const std::string& text) {
    found_ = false;
    while (pos_ < text.size()) {
        pos_ = skip_blanks_from(text, pos_);
        if (pos_ >= text.size()) return;
        // A comment that is not closed: nothing more can be read.
        if (text[pos_] == '[') {
            left_open_ = pos_;
            pos_ = text.size();
            return;
        }
        const std::size_t start = pos_;
        if (read_command(text, start)) {
            statement_ = start;
            found_ = true;
            return;
        }
    }
}

void NexusTrees::pass_statement(const std::string& text, std::size_t from) {
    pos_ = statement_end(text, from, &left_open_);
}

// The command that starts at `start`: true for a tree statement, else it is read or passed
// over.
bool NexusTrees::read_command(const std::string& text, std::size_t start) {
    std::string word;
    std::size_t pos = start;
    read_word(text, pos, word, kEndsCommand);
    if (is_keyword(word, "BEGIN")) {
        // A block begins, even where the one before it was not ended.
        std::string block;
        pos = skip_blanks_from(text, pos);
        read_word(text, pos, block);
        in_trees_ = is_keyword(block, "TREES");
        names_.reset();
        table_failed_ = false;
    } else if (is_keyword(word, "END") || is_keyword(word, "ENDBLOCK")) {
        in_trees_ = false;
    } else if (in_trees_ && (is_keyword(word, "TREE") || is_keyword(word, "UTREE"))) {
        return true;
    } else if (in_trees_ && is_keyword(word, "TRANSLATE")) {
        pos_ = pos;
        read_translate(text);
        return false;
    }
    pass_statement(text, start);
    return false;
}

// The entries `token name` of a TRANSLATE table, separated by ',' and ended by ';'.
void NexusTrees::read_translate(const std::string& text) {
    auto names = std::make_unique<LeafNames>();
    std::string token, name;
    pos_ = skip_blanks_from(text, pos_);
    bool more = pos_ >= text.size() || text[pos_] != ';';
    if (!more) ++pos_;
    while (more) {
        pos_ = skip_blanks_from(text, pos_);
        const std::size_t at = pos_;
        if (!read_word(text, pos_, token)) {
            return fail_translate(text, pos_, "expected a token, found " + found_at(text, pos_));
        }
        pos_ = skip_blanks_from(text, pos_);
        if (!read_word(text, pos_, name)) {
            return fail_translate(
                text, pos_,
                "expected a name after token " + token + ", found " + found_at(text, pos_));
        }
        if (!names->add(token, std::move(name))) {
            return fail_translate(text, at, "a token given twice");
        }
        pos_ = skip_blanks_from(text, pos_);
        if (pos_ >= text.size() || (text[pos_] != ',' && text[pos_] != ';')) {
            return fail_translate(text, pos_, "expected ',' or ';', found " + found_at(text, pos_));
        }
        more = text[pos_++] == ',';
    }
    names_ = std::move(names);
    table_failed_ = false;
}

void NexusTrees::fail_translate(const std::string& text, std::size_t offset, std::string what) {
    names_.reset();
    table_failed_ = true;
    table_problem_.offset = offset;
    table_problem_.what = "the TRANSLATE table: " + std::move(what);
    pass_statement(text, offset);
}

std::unique_ptr<Phylogeny> NexusTrees::read(const std::string& text, const ReadOptions& options,
                                            Malformed& problem, SupportNotes* notes) {
    std::unique_ptr<Phylogeny> tree;
    if (!found_) {
        problem.offset = left_open_;
        problem.what = found_at(text, left_open_);
        left_open_ = std::string::npos;
        return tree;
    }
    if (table_failed_) {
        problem.offset = table_problem_.offset;
        problem.what = table_problem_.what;
        pos_ = statement_end(text, statement_);
    } else {
        pos_ = statement_;
        tree = read_statement(text, pos_, names_.get(), options, problem, notes);
    }
    find_next(text);
    return tree;
}

void NexusTrees::skip(const std::string& text) {
    pos_ = statement_end(text, statement_);
    find_next(text);
}

// `TREE [*] name = tree;` (or UTREE) at `pos`: the tree read from after '=', `pos` moved past
// the statement.
std::unique_ptr<Phylogeny> NexusTrees::read_statement(const std::string& text, std::size_t& pos,
                                                      const LeafNames* names,
                                                      const ReadOptions& options,
                                                      Malformed& problem,
                                                      SupportNotes* notes) const {
    const std::size_t statement = pos;
    std::string word;
    read_word(text, pos, word, kEndsCommand);
    pos = skip_blanks_from(text, pos);
    if (pos < text.size() && text[pos] == '*') pos = skip_blanks_from(text, pos + 1);
    const bool named = read_word(text, pos, word);
    if (named) pos = skip_blanks_from(text, pos);
    if (!named || pos >= text.size() || text[pos] != '=') {
        problem.offset = pos;
        problem.what = std::string(named ? "expected '=' after the tree's name, found "
                                         : "expected the tree's name, found ") +
                       found_at(text, pos);
        pos = statement_end(text, statement);
        return nullptr;
    }
    ++pos;
    ReadOptions with_names = options;
    with_names.leaf_names = names;
    return read_standard_tree(text, pos, with_names, problem, notes);
}

}  // namespace tavrin
