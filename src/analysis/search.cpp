// The analysis run and the target clade search.
#include <iostream>
#include <string>
#include <vector>

#include "analysis/group_index.h"
#include "analysis/leaf_matching.h"
#include "analysis/messages.h"
#include "analysis/tavrin.h"

bool rerooted = false;
bool null_in_error = false;

Tavrin::Tavrin(Phylogeny* t, std::string prefix, std::string group_file, bool regex)
    : use_regex(regex), prefix_(std::move(prefix)) {
    tree = t;
    begin(true, group_file);
}

Tavrin::Tavrin(Phylogeny* t, std::string prefix, bool regex)
    : use_regex(regex), prefix_(std::move(prefix)) {
    tree = t;
    begin(false, std::string());
}

Tavrin::~Tavrin() = default;

void Tavrin::begin(bool with_group_file, const std::string& group_file) {
    rerooted = false;
    null_in_error = false;
    if (with_group_file) {
        groupConfig(group_file);
        if (exit_status != 0) return;
    }
    // The pattern is compiled once, before the search, so an unusable one is reported before
    // any leaf is tested.
    matcher_ = std::make_unique<LeafMatcher>(prefix_, use_regex);
    if (!matcher_->valid()) {
        std::cerr << tavrin::messages::kInvalidPattern << prefix_ << " (" << matcher_->error()
                  << ")" << std::endl;
        exit_status = tavrin::messages::kFatalInputStatus;
        return;
    }
    search_and_collect();
}

void Tavrin::search_and_collect() {
    if (tree == nullptr || tree->root == nullptr) return;
    target = all_match(tree->root, prefix_);
    if (rerooted) {
        null_in_error = false;
        target = all_match(tree->root, prefix_);
    }
    sister_count = 0;
    if (!matcher_->failure().empty()) {
        std::cerr << matcher_->failure() << std::endl;
        exit_status = tavrin::messages::kFatalInputStatus;
        target = nullptr;
        return;
    }
    if (target != nullptr && target != tree->root) {
        get_sisters();
    } else if (target == nullptr) {
        std::cerr << tavrin::messages::kCladeNotFound << std::endl;
    } else {
        std::cerr << tavrin::messages::kTargetIsRoot << std::endl;
    }
}

Phylogeny_Node* Tavrin::all_match(Phylogeny_Node* start, std::string prefix) {
    // The search is the recursion "left subtree, right subtree, then the node", kept on an
    // explicit stack so that a ladder of any depth can be searched. A frame's stage says where
    // its node stands; `answer` carries the result of the frame that finished last.
    //
    // A reroot happens in the middle of the search: the frame that made it waits for a full
    // search of the new root (the restart) and answers what that answers, and the frames below
    // it on the stack then finish on the rewired tree, reading their nodes' children as these
    // stand now.
    if (!matcher_ || prefix != prefix_) {
        prefix_ = prefix;
        matcher_ = std::make_unique<LeafMatcher>(prefix_, use_regex);
    }
    enum Stage { kEnter, kAfterLeft, kAfterRight, kAfterRestart };
    struct Frame {
        Phylogeny_Node* node;
        Stage stage;
        Phylogeny_Node* left_answer;
    };
    std::vector<Frame> stack{{start, kEnter, nullptr}};
    Phylogeny_Node* answer = nullptr;

    // Only called where the partial match lies strictly inside a child of the node being
    // examined, so it has a parent that is not the root.
    auto reroot_above = [&](Phylogeny_Node* partial) {
        Phylogeny_Node* a = partial->parent;
        Phylogeny_Node* b = a->left == partial ? a->right : a->left;
        Phylogeny_Node* old_root = tree->root;
        tree->root = Phylogeny::reroot(a, b, old_root);
        // The old root is out of the tree but stays readable until the tree is released.
        tree->retire_node(old_root);
        rerooted = true;
    };

    while (!stack.empty()) {
        const size_t top = stack.size() - 1;
        Phylogeny_Node* x = stack[top].node;
        switch (stack[top].stage) {
            case kEnter:
                if (x == nullptr || null_in_error) {
                    answer = nullptr;
                    stack.pop_back();
                } else if (x->is_leaf) {
                    answer = is_target_leaf(x) ? x : nullptr;
                    stack.pop_back();
                } else {
                    stack[top].stage = kAfterLeft;
                    stack.push_back({x->left, kEnter, nullptr});
                }
                break;
            case kAfterLeft:
                stack[top].left_answer = answer;
                stack[top].stage = kAfterRight;
                stack.push_back({x->right, kEnter, nullptr});
                break;
            case kAfterRight: {
                Phylogeny_Node* l = stack[top].left_answer;
                Phylogeny_Node* r = answer;
                if (null_in_error) {
                    answer = nullptr;
                } else if (l == nullptr) {
                    answer = r;
                } else if (r == nullptr) {
                    answer = l;
                } else if (l == x->left && r == x->right) {
                    answer = x;
                } else if (r == x->right && !rerooted && tree != nullptr) {
                    reroot_above(l);
                    stack[top].stage = kAfterRestart;
                    stack.push_back({tree->root, kEnter, nullptr});
                    break;
                } else if (l == x->left && !rerooted && tree != nullptr) {
                    reroot_above(r);
                    stack[top].stage = kAfterRestart;
                    stack.push_back({tree->root, kEnter, nullptr});
                    break;
                } else {
                    null_in_error = true;
                    answer = nullptr;
                }
                stack.pop_back();
                break;
            }
            case kAfterRestart:
                stack.pop_back();  // answer what the restart answered
                break;
        }
    }
    return answer;
}
