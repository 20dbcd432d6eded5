// The target clade search: the smallest subtree whose leaves are exactly the target leaves,
// rerooting the tree once when that makes the target group a clade.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "platform/chunked_stack.h"
#include "tree/tree_changes.h"

namespace tavrin {

struct TargetTest::Answers {
    std::vector<std::uint8_t> by_key;  // false, true, kUnknown or kByText
    PrefixAnswers<bool> by_prefix;
};

namespace {

// A thread's answers for the tests it asked last, by leaf number and by leaf prefix: a run with
// several targets asks each tree the tests of all of them in turn. A test not among them takes
// the place of the one asked longest ago.
class ThreadPrefixAnswers {
public:
    static constexpr std::size_t kTests = 8;
    // An answer by number not found yet, and one for a number cut at another separator.
    static constexpr std::uint8_t kUnknown = 2, kByText = 3;

    using Answers = TargetTest::Answers;

    Answers& of(std::uint64_t serial) {
        // A test mostly asks many leaves in a row: the one asked last is checked first.
        if (last_ != nullptr && last_->serial == serial) return last_->answers;
        Kept* oldest = &kept_[0];
        for (Kept& kept : kept_) {
            if (kept.serial == serial) {
                kept.used = ++clock_;
                last_ = &kept;
                return kept.answers;
            }
            if (kept.used < oldest->used) oldest = &kept;
        }
        oldest->answers.by_key.clear();
        oldest->answers.by_prefix.clear();
        oldest->serial = serial;
        oldest->used = ++clock_;
        last_ = oldest;
        return oldest->answers;
    }

private:
    struct Kept {
        std::uint64_t serial = 0;  // none: serials start at 1
        std::uint64_t used = 0;
        Answers answers;
    };
    Kept kept_[kTests];
    Kept* last_ = nullptr;  // the one asked last
    std::uint64_t clock_ = 0;
};

}  // namespace

TargetTest::TargetTest(const LeafMatcher& matcher, const GroupRelations& groups,
                       std::string_view prefix, char separator)
    : matcher_(matcher),
      groups_(groups),
      prefix_(prefix),
      separator_(separator),
      by_prefix_(matcher.decided_by_leaf_prefix(separator)),
      serial_([] {
          static std::atomic<std::uint64_t> next_serial{1};
          return next_serial.fetch_add(1, std::memory_order_relaxed);
      }()) {}

TargetTest::Here TargetTest::here() const {
    if (!by_prefix_) return Here(*this, nullptr, nullptr);
    thread_local ThreadPrefixAnswers kept;
    Answers& answers = kept.of(serial_);
    return Here(*this, &answers, &answers.by_key);
}

bool TargetTest::answer(const Phylogeny_Node* leaf, Answers* answers) const {
    if (answers == nullptr) return by_name(leaf->name);
    // The leaf prefix stands for the whole name: it passes the matcher as the name does.
    const std::uint32_t key = leaf->leaf_key;
    if (key != kNoLeafKey) {
        using Kept = ThreadPrefixAnswers;
        if (key >= answers->by_key.size()) answers->by_key.resize(key + 1, Kept::kUnknown);
        std::uint8_t& known = answers->by_key[key];
        if (known == Kept::kUnknown) {
            const LeafKeys& keys = LeafKeys::of_thread();
            known = key < keys.size() && keys.separator(key) == separator_
                        ? by_name(keys.prefix(key))
                        : Kept::kByText;
        }
        if (known != Kept::kByText) return known != 0;
    }
    return answers->by_prefix.get(leaf->name, separator_,
                                  [this](std::string_view prefix) { return by_name(prefix); });
}

bool TargetTest::passes_key(std::uint32_t key) const {
    return by_name(LeafKeys::of_thread().prefix(key));
}

bool TargetTest::by_name(std::string_view name) const {
    if (matcher_.matches(name)) return true;
    return groups_.same_group(leaf_prefix(name, separator_), prefix_);
}

namespace {

// Moves the root of `tree` onto the edge above `partial`, a partial match that lies strictly
// inside a child of the node being examined, so it has a parent that is not the root. With
// `changes`, the reroot is kept there.
void reroot_above(Phylogeny& tree, Phylogeny_Node* partial, TreeChanges* changes) {
    Phylogeny_Node* a = partial->parent;
    Phylogeny_Node* b = other_child(a, partial);
    Phylogeny_Node* old_root = tree.root;
    // The old root is out of the tree but stays readable until the tree is released.
    if (changes != nullptr) {
        tree.root = Phylogeny::reroot(a, b, old_root, *changes);
        changes->took_out(old_root);
    } else {
        tree.root = Phylogeny::reroot(a, b, old_root);
        tree.retire_node(old_root);
    }
}

// The answer of `x` from those of its children, `l` and `r`, into `answer`. When one side is
// wholly target and the other only partly and `may_reroot`, it returns the partial match to
// reroot above instead (the left one when both sides qualify), `answer` left as it is.
Phylogeny_Node* join_children(Phylogeny_Node* x, Phylogeny_Node* l, Phylogeny_Node* r,
                              SearchState& state, bool may_reroot, Phylogeny_Node*& answer) {
    if (state.not_a_clade) {
        answer = nullptr;
    } else if (l == nullptr) {
        answer = r;
    } else if (r == nullptr) {
        answer = l;
    } else if (l == x->left && r == x->right) {
        answer = x;
    } else if ((r == x->right || l == x->left) && may_reroot) {
        return r == x->right ? l : r;
    } else {
        state.not_a_clade = true;
        answer = nullptr;
    }
    return nullptr;
}

}  // namespace

// The search is the recursion "left subtree, right subtree, then the node", kept on an explicit
// stack so that a ladder of any depth can be searched. A frame's stage says where its node
// stands; `answer` carries the result of the frame that finished last.
//
// A reroot happens in the middle of the search: the frame that made it waits for a full search
// of the new root (the restart) and answers what that answers, and the frames below it on the
// stack then finish on the rewired tree, reading their nodes' children as these stand now.
SearchResult search_target(Phylogeny* tree, Phylogeny_Node* start, const TargetTest& test,
                           SearchState state, TreeChanges* changes) {
    enum Stage { kEnter, kAfterLeft, kAfterRight, kAfterRestart };
    struct Frame {
        Phylogeny_Node* node;
        Stage stage;
        Phylogeny_Node* left_answer;
    };
    ChunkedStack<Frame> stack{{start, kEnter, nullptr}};
    SearchResult result;
    Phylogeny_Node*& answer = result.target;
    // A leaf's answer. A leaf child is answered in its parent's frame: half the nodes of a tree
    // are leaves, and a frame of their own would cost more than their test.
    const TargetTest::Here here = test.here();
    auto leaf_answer = [&](Phylogeny_Node* leaf) -> Phylogeny_Node* {
        if (state.not_a_clade || !here(leaf)) return nullptr;
        ++result.tested;
        return leaf;
    };
    auto is_leaf = [](const Phylogeny_Node* n) { return n != nullptr && n->is_leaf; };

    while (!stack.empty()) {
        Frame& frame = stack.back();
        Phylogeny_Node* x = frame.node;
        switch (frame.stage) {
            case kEnter:
                if (x == nullptr || state.not_a_clade) {
                    answer = nullptr;
                    stack.pop_back();
                    break;
                }
                if (x->is_leaf) {
                    answer = leaf_answer(x);
                    stack.pop_back();
                    break;
                }
                if (!is_leaf(x->left)) {
                    frame.stage = kAfterLeft;
                    stack.push_back({x->left, kEnter, nullptr});
                    break;
                }
                answer = leaf_answer(x->left);
                [[fallthrough]];
            case kAfterLeft:
                frame.left_answer = answer;
                if (!is_leaf(x->right)) {
                    frame.stage = kAfterRight;
                    stack.push_back({x->right, kEnter, nullptr});
                    break;
                }
                answer = leaf_answer(x->right);
                [[fallthrough]];
            case kAfterRight: {
                Phylogeny_Node* partial = join_children(x, frame.left_answer, answer, state,
                                                        !state.rerooted && tree != nullptr, answer);
                if (partial != nullptr) {
                    // Reroot above the partial match and search the new root in full.
                    reroot_above(*tree, partial, changes);
                    state.rerooted = true;
                    frame.stage = kAfterRestart;
                    stack.push_back({tree->root, kEnter, nullptr});
                    break;
                }
                stack.pop_back();
                break;
            }
            case kAfterRestart:
                // Answer what the restart answered; the tree stays as it stands now.
                result.restart_target = answer;
                result.restart_state = state;
                stack.pop_back();
                break;
        }
    }
    result.state = state;
    return result;
}

}  // namespace tavrin
