#include "tree/standard_newick.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "tree/byte_classes.h"
#include "tree/child_fold.h"
#include "tree/numbers.h"

namespace tavrin {

namespace {

// What a byte is outside quotes and comments: part of a label or length, a blank, or one of the
// bytes that end a label ("(),:;[]'").
enum ByteClass : unsigned char { kWord, kBlank, kPunctuation };

constexpr ByteClasses<ByteClass> kClasses{{kBlank, kBlanks}, {kPunctuation, "(),:;[]'"}};

bool ends_word(char c) {
    return kClasses[c] != kWord;
}

}  // namespace

std::string shown_byte(char c) {
    if (c >= 0x20 && c < 0x7f) return std::string("'") + c + "'";
    char code[16];
    std::snprintf(code, sizeof code, "byte 0x%02x", static_cast<unsigned char>(c));
    return code;
}

size_t after_byte_order_mark(const std::string& text) {
    return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

size_t comment_end(const std::string& text, size_t pos) {
    size_t depth = 0;
    for (const size_t n = text.size(); pos < n; ++pos) {
        const char c = text[pos];
        if (c == '[') {
            ++depth;
        } else if (c == ']' && --depth == 0) {
            return pos + 1;
        }
    }
    return std::string::npos;
}

size_t skip_blanks_from(const std::string& text, size_t pos) {
    while (pos < text.size()) {
        if (is_blank(text[pos])) {
            ++pos;
        } else if (text[pos] != '[') {
            break;
        } else {
            const size_t end = comment_end(text, pos);
            if (end == std::string::npos) break;
            pos = end;
        }
    }
    return pos;
}

size_t quote_end(const std::string& text, size_t pos) {
    for (size_t q = pos + 1;; q += 2) {
        q = text.find('\'', q);
        if (q == std::string::npos) return q;
        if (q + 1 >= text.size() || text[q + 1] != '\'') return q + 1;
    }
}

size_t statement_end(const std::string& text, size_t pos, size_t* left_open) {
    const size_t n = text.size();
    if (left_open != nullptr) *left_open = std::string::npos;
    while (pos < n && text[pos] != ';') {
        size_t next = pos + 1;
        if (text[pos] == '[') next = comment_end(text, pos);
        if (text[pos] == '\'') next = quote_end(text, pos);
        if (next == std::string::npos) {
            if (left_open != nullptr) *left_open = pos;
            return n;
        }
        pos = next;
    }
    return pos < n ? pos + 1 : n;
}

namespace {

class StandardReader {
public:
    StandardReader(const std::string& text, size_t pos, const ReadOptions& options,
                   SupportNotes* notes)
        : text_(text),
          s_(text.data()),
          n_(text.size()),
          p_(pos),
          options_(options),
          notes_(notes) {}
    ~StandardReader() { release(); }
    StandardReader(const StandardReader&) = delete;
    StandardReader& operator=(const StandardReader&) = delete;

    Phylogeny_Node* read(Malformed& problem);
    size_t position() const { return p_; }
    size_t root_children() const { return root_children_; }

private:
    // Blanks or a comment may join what follows to the word before them.
    static bool may_join(char c) { return is_blank(c) || c == '[' || c == '\''; }

    // Skips blanks and comments; those of the internal node just closed are heard.
    bool skip_blanks() {
        if (p_ < n_ && !is_blank(s_[p_]) && s_[p_] != '[') return true;
        p_ = commented_ == nullptr ? skip_blanks_from(text_, p_) : skip_hearing_comments();
        if (p_ < n_ && s_[p_] == '[') return fail(p_, kCommentNotClosed);
        return true;
    }
    // A label or a length. Most are one unquoted run, or nothing, followed by punctuation: the
    // word then views the text itself.
    bool read_word(std::string_view& word) {
        const size_t first = p_;
        while (p_ < n_ && !ends_word(s_[p_]))
            ++p_;
        if (p_ >= n_ || !may_join(s_[p_])) {
            word = std::string_view(s_ + first, p_ - first);
            return true;
        }
        p_ = first;
        return read_pieces(word);
    }
    bool read_pieces(std::string_view& word);
    size_t skip_hearing_comments();
    void hear_comment(size_t open, size_t end);
    void settle_support();
    void name_leaf(Phylogeny_Node* leaf, std::string_view label) const;
    bool read_label_and_length(Phylogeny_Node* node);
    bool close_node();
    bool after_node(Phylogeny_Node*& root);
    bool fail(size_t offset, std::string what);
    void release();
    void skip_to_next_tree();

    const std::string& text_;
    const char* s_;
    size_t n_;
    size_t p_;
    const ReadOptions& options_;
    ChunkedStack<OpenNode> stack_;
    Phylogeny_Node* loose_ = nullptr;  // the node being read, held by no frame yet
    std::string scratch_;              // a label made of several pieces
    Malformed* problem_ = nullptr;
    size_t root_children_ = 0;  // the children read so far under the root

    // The comments of an internal node: those after its ')' up to the next ',', ')' or ';'.
    struct Heard {
        bool attribute = false;  // the support attribute, and its value
        double value = 0;
        bool bare = false;  // a bare number after the length, and its value
        double bare_value = 0;
    };
    SupportNotes* notes_;
    Phylogeny_Node* commented_ = nullptr;  // the internal node whose comments are heard
    size_t colon_ = std::string::npos;     // where its ':' stands
    Heard heard_;
};

// skip_blanks_from, hearing every comment on the way.
size_t StandardReader::skip_hearing_comments() {
    size_t pos = p_;
    while (pos < n_) {
        if (is_blank(s_[pos])) {
            ++pos;
            continue;
        }
        if (s_[pos] != '[') break;
        const size_t end = comment_end(text_, pos);
        if (end == std::string::npos) break;
        hear_comment(pos, end);
        pos = end;
    }
    return pos;
}

// A comment of the node `commented_`, from its '[' to just past its ']'.
void StandardReader::hear_comment(size_t open, size_t end) {
    const std::string_view comment(s_ + open + 1, end - open - 2);
    if (!options_.support_attribute.empty() && !heard_.attribute) {
        const AttributeValue attribute = attribute_value(comment, options_.support_attribute);
        if (attribute.found) {
            heard_.attribute = true;
            heard_.value = attribute.value;
            if (!attribute.number && notes_ != nullptr) notes_->note_no_number(attribute.text);
        }
    }
    // RAxML's branch labels: a bare number after the length.
    double value = 0;
    if (colon_ < open && !heard_.bare && bare_number(comment, value)) {
        heard_.bare = true;
        heard_.bare_value = value;
    }
    if (notes_ != nullptr && notes_->wanted()) notes_->note_comment(comment);
}

// The node `commented_` has all its comments: its support is final.
void StandardReader::settle_support() {
    if (commented_ == nullptr) return;
    if (heard_.attribute) {
        commented_->support = heard_.value;
    } else if (commented_->support == 0 && heard_.bare) {
        commented_->support = heard_.bare_value;
    }
    if (notes_ != nullptr) notes_->note_support(commented_->support);
    commented_ = nullptr;
}

void StandardReader::name_leaf(Phylogeny_Node* leaf, std::string_view label) const {
    if (options_.leaf_names != nullptr) {
        if (const std::string* name = options_.leaf_names->find(label)) {
            leaf->name = *name;
            return;
        }
    }
    leaf->name.assign(label.data(), label.size());
}

// A label or a length made of unquoted runs and quoted labels, joined across blanks and
// comments. `word` views the text itself when it is one piece, else the scratch buffer.
bool StandardReader::read_pieces(std::string_view& word) {
    size_t pieces = 0;
    auto add = [&](size_t first, size_t last) {
        if (pieces == 1) scratch_.assign(word.data(), word.size());
        if (pieces == 0) {
            word = std::string_view(s_ + first, last - first);
        } else {
            scratch_.append(s_ + first, last - first);
        }
        ++pieces;
    };
    word = std::string_view(s_ + p_, 0);
    for (;;) {
        if (!skip_blanks()) return false;
        if (p_ >= n_) break;
        if (s_[p_] == '\'') {
            const size_t end = quote_end(text_, p_);
            if (end == std::string::npos) return fail(p_, kQuoteNotClosed);
            // Each '' inside stands for one quote: the pieces run up to and including it.
            for (size_t first = p_ + 1; first < end - 1;) {
                const size_t q = text_.find('\'', first);
                add(first, q < end - 1 ? q + 1 : end - 1);
                first = q < end - 1 ? q + 2 : end - 1;
            }
            p_ = end;
        } else if (!ends_word(s_[p_])) {
            const size_t first = p_;
            while (p_ < n_ && !ends_word(s_[p_]))
                ++p_;
            add(first, p_);
        } else {
            break;
        }
    }
    if (pieces > 1) word = scratch_;
    return true;
}

// What follows a leaf's start or an internal node's ')': a label, then ':' and a length.
bool StandardReader::read_label_and_length(Phylogeny_Node* node) {
    std::string_view label;
    if (!read_word(label)) return false;
    if (node->is_leaf) {
        name_leaf(node, label);
    } else if (options_.support_attribute.empty()) {
        node->support = support_from_label(label.data(), label.data() + label.size(), options_);
    }
    if (!skip_blanks()) return false;
    if (p_ < n_ && s_[p_] == ':') {
        colon_ = p_;
        ++p_;
        std::string_view length;
        if (!read_word(length)) return false;
        node->length = read_number(length.data(), length.data() + length.size());
    }
    return true;
}

// At a ')': the node of the top frame is complete; it becomes the loose node.
bool StandardReader::close_node() {
    const OpenNode f = stack_.back();
    if (!f.children.has_two()) return fail(p_, "a node with only one child");
    ++p_;
    stack_.pop_back();
    f.children.close(f.node);
    // The root of an unrooted tree with three or more children: the fold under it is the split
    // of its last child.
    if (stack_.empty() && root_children_ >= 3) f.node->left->support = f.node->right->support;
    loose_ = f.node;
    commented_ = f.node;
    colon_ = std::string::npos;
    heard_ = Heard();
    return read_label_and_length(f.node);
}

// The loose node is complete: attach it, closing every ')' that follows. Answers true with the
// next node loose after a ',', or with `root` set at the tree's ';'.
bool StandardReader::after_node(Phylogeny_Node*& root) {
    for (;;) {
        if (!skip_blanks()) return false;
        settle_support();
        const char c = p_ < n_ ? s_[p_] : '\0';
        if (stack_.empty()) {
            if (p_ >= n_) return fail(p_, "the tree does not end with ';'");
            if (c == ')') return fail(p_, "')' without a matching '('");
            if (c != ';') return fail(p_, "expected ';' after the tree, found " + shown_byte(c));
            ++p_;
            root = loose_;
            loose_ = nullptr;
            return true;
        }
        Phylogeny_Node* done = loose_;
        loose_ = nullptr;
        // Only the root's fold is mended: count the root's children.
        stack_.back().children.add(done);
        if (stack_.size() == 1) ++root_children_;
        if (p_ >= n_) return fail(p_, "the text ends inside parentheses");
        if (c == ',') {
            ++p_;
            loose_ = new Phylogeny_Node();
            return true;
        }
        if (c == ';') return fail(p_, "';' before every '(' is closed");
        if (c != ')') return fail(p_, "expected ',' or ')', found " + shown_byte(c));
        if (!close_node()) return false;
    }
}

Phylogeny_Node* StandardReader::read(Malformed& problem) {
    problem_ = &problem;
    if (!skip_blanks()) return nullptr;
    if (p_ < n_ && s_[p_] == ';') {
        fail(p_, "an empty tree");
        return nullptr;
    }
    loose_ = new Phylogeny_Node();
    Phylogeny_Node* root = nullptr;
    while (root == nullptr) {
        if (!skip_blanks()) return nullptr;
        if (p_ < n_ && s_[p_] == '(') {
            stack_.push_back({loose_, ChildFold()});
            loose_ = new Phylogeny_Node();
            ++p_;
            continue;
        }
        loose_->is_leaf = true;
        if (!read_label_and_length(loose_) || !after_node(root)) return nullptr;
    }
    return root;
}

bool StandardReader::fail(size_t offset, std::string what) {
    problem_->offset = offset;
    problem_->what = std::move(what);
    release();
    skip_to_next_tree();
    return false;
}

// Every node made is held by a frame or is the loose node.
void StandardReader::release() {
    commented_ = nullptr;
    release_frames(stack_);
    delete loose_;
    loose_ = nullptr;
}

void StandardReader::skip_to_next_tree() {
    p_ = statement_end(text_, p_);
}

}  // namespace

std::unique_ptr<Phylogeny> read_standard_tree(const std::string& text, size_t& pos,
                                              const ReadOptions& options, Malformed& problem,
                                              SupportNotes* notes) {
    StandardReader reader(text, pos, options, notes);
    Phylogeny_Node* root = reader.read(problem);
    pos = reader.position();
    if (root == nullptr) return nullptr;
    auto tree = std::make_unique<Phylogeny>();
    tree->root = root;
    tree->root_children = reader.root_children();
    return tree;
}

bool only_blanks_from(const std::string& text, size_t pos) {
    return skip_blanks_from(text, pos) == text.size();
}

}  // namespace tavrin
