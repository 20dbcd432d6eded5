// The sister-clade analysis: one Tavrin object analyses one tree.
//
// The constructor does the whole job: it loads the group file (when given), then runs
// analyse_tree (below) and keeps its answers in the fields: the target clade and
// the one or two sister clades. `bootstrap` / `bootstrapIsNull` give the support value printed on
// every row; the other operations expose the steps of analysis/steps.h one by one. The
// constructor writes its own diagnostics ("CLADE NOT FOUND", an unreadable group file...) on
// standard error and says in `failure` what stopped it.
#ifndef TAVRIN_CONTRACT_TAVRIN_H
#define TAVRIN_CONTRACT_TAVRIN_H

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/group_relations.h"
#include "analysis/leaf_matching.h"  // is_prefix, beside the matcher it calls
#include "analysis/pipeline.h"
#include "tree/phylogeny.h"

namespace tavrin {

// Search flags of the Tavrin class: what its last search left them at. Each analysis clears both
// when it begins; `all_match` starts from them and leaves them as its search ends. The analyses
// of the driver do not use them.
extern bool rerooted;       // the search has rerooted the tree
extern bool null_in_error;  // the search has found that the target group is not a clade

class Tavrin {
public:
    // What stopped the analysis before it had a result; its message has been written.
    enum class Failure {
        kNone,
        kGroupFileUnreadable,  // the group file cannot be opened or read
        kGroupFileTooLarge,    // its closure would exceed GroupRelations::kMaxPairs
        kInvalidPattern,       // the --E pattern cannot be used
    };

    Phylogeny* tree = nullptr;         // not owning; a reroot replaces its root
    Phylogeny_Node* target = nullptr;  // not owning; absent when no target clade was found
    // Group relations, in file order with derived pairs. Read-only: the answers come from
    // indexes built while the file was loaded (see group_relations.h).
    GroupRelations groups;
    bool use_regex = false;            // leaf names are tested by pattern search
    std::vector<std::string> sisters;  // sister clade names, `sister_count` of them
    int32_t sister_count = 0;          // 0, 1 or 2
    Failure failure = Failure::kNone;

    // Runs the whole analysis; the four-argument form loads `group_file` first.
    Tavrin(Phylogeny* tree, std::string prefix, std::string group_file, bool use_regex);
    Tavrin(Phylogeny* tree, std::string prefix, bool use_regex);
    // A group file path given without the flag would otherwise turn silently into `true`.
    Tavrin(Phylogeny* tree, std::string prefix, const char* group_file) = delete;

    Tavrin(const Tavrin&) = delete;
    Tavrin& operator=(const Tavrin&) = delete;

    // Appends the pairs of a group file, closed under membership as they are read.
    void groupConfig(std::string path);
    // Is `a` equal to `b`, or recorded as a member of group `b`?
    bool sameGroup(std::string a, std::string b) const;
    // The group of the first pair (list order) with member `a` whose group also has member `b`.
    std::string lowest_common_group(std::string a, std::string b) const;

    // Target search from `x`: none, `x` itself (every leaf below is a target leaf), or the node
    // strictly inside `x` whose leaves are exactly its target leaves. May reroot once.
    Phylogeny_Node* all_match(Phylogeny_Node* x, std::string prefix);

    // `n` when every leaf below it passes the group test for `group`, otherwise none.
    Phylogeny_Node* whole_tree_by_name(Phylogeny_Node* n, std::string group) const;
    // The clade name of `n`: its shared leaf prefix or the first group holding all its leaves;
    // a single leaf is named by its rendered prefix; empty when nothing fits.
    std::string print_name_if_same(Phylogeny_Node* n) const;

    // Names the sisters of `target` into `sisters` / `sister_count`.
    void get_sisters();

    // Support of the node joining the target to its first sister (of the sibling across the root).
    double bootstrap() const;
    // Whether "n/a" replaces the support value.
    bool bootstrapIsNull() const;

private:
    void run(bool with_group_file, const std::string& group_file);

    std::string prefix_;
    std::shared_ptr<const LeafMatcher> matcher_;
};

// The analysis of `tree` in place, for a caller that owns the tree elsewhere and needs neither
// outliers nor a picture; when the names ask for the parent fold, the tree is folded as the
// class's operations expect it.
AnalysisResult analyse_tree(Phylogeny& tree, const Analysis& analysis);

// The rows of a Tavrin analysis, which must have finished without failure.
void write_rows(std::ostream& out, const Tavrin& analysis, const std::string& prefix);

}  // namespace tavrin

#endif  // TAVRIN_CONTRACT_TAVRIN_H
