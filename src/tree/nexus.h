// The trees of a NEXUS file, as Bayesian programs (MrBayes, BEAST and their summaries) write
// them:
//
//   #NEXUS
//   begin trees;
//      translate 1 Choano-Mbre1, 2 'Metazoa-Hsap 3';
//      tree con_50_majrule = [&U] ((1:0.1,2:0.2)[&prob=0.97]:0.05, ...);
//   end;
//
// Only TREES blocks are read (BEGIN TREES; up to END; or ENDBLOCK;, commands in any case); every
// other block is passed over whole. Each TREE or UTREE statement gives one tree, read as standard
// Newick from after its '=', in file order over all blocks. A block's TRANSLATE table names the
// leaves written as its tokens; a block may have none. Comments may stand anywhere and words may
// be quoted as in standard Newick.
//
// A comment or quote that the end of the file leaves open outside the tree statements (between
// commands, in a TRANSLATE table or in a command passed over) hides every statement after it: it
// gives one problem after the trees before it, at the byte where it opens, and is never passed
// over as a tree. One left open in a tree statement is that tree's problem, as in standard
// Newick.
#ifndef TAVRIN_TREE_NEXUS_H
#define TAVRIN_TREE_NEXUS_H

#include <cstddef>
#include <memory>
#include <string>

#include "tree/malformed.h"
#include "tree/node_comments.h"
#include "tree/phylogeny.h"
#include "tree/read_options.h"

namespace tavrin {

// Is `text` a NEXUS file: do its first bytes, after an optional UTF-8 byte order mark and
// blanks, read "#NEXUS" in any case?
bool is_nexus(const std::string& text);

// The tree statements of one NEXUS text, found one after the other. Every call is given the same
// text.
class NexusTrees {
public:
    // Finds the first tree statement of `text`, which is_nexus.
    explicit NexusTrees(const std::string& text);

    // Is there nothing left to give: no statement, nor a comment or quote left open?
    bool at_end() const { return !found_ && left_open_ == std::string::npos; }
    // Is a tree statement next (rather than the end, or a comment or quote left open)?
    bool at_statement() const { return found_; }
    // Reads the tree of the statement found and finds the next statement. A statement that does
    // not parse, or that stands in a block whose TRANSLATE table does not, gives null and the
    // problem's offset and what; so does a comment or quote left open, when no statement is.
    std::unique_ptr<Phylogeny> read(const std::string& text, const ReadOptions& options,
                                    Malformed& problem, SupportNotes* notes);
    // Passes over the statement found without reading it, and finds the next one.
    void skip(const std::string& text);

private:
    void find_next(const std::string& text);
    // Moves past the command that `from` stands in, noting a comment or quote it leaves open.
    void pass_statement(const std::string& text, std::size_t from);
    bool read_command(const std::string& text, std::size_t start);
    void read_translate(const std::string& text);
    void fail_translate(const std::string& text, std::size_t offset, std::string what);
    std::unique_ptr<Phylogeny> read_statement(const std::string& text, std::size_t& pos,
                                              const LeafNames* names, const ReadOptions& options,
                                              Malformed& problem, SupportNotes* notes) const;

    std::size_t pos_ = 0;        // where the text is read next
    bool in_trees_ = false;      // within a TREES block
    bool found_ = false;         // a statement was found, and not yet read
    std::size_t statement_ = 0;  // where it starts
    // Where a comment or quote left open outside the statements opens, until it is given.
    std::size_t left_open_ = std::string::npos;
    // The current block's table (null when it has none); when it did not parse, the problem
    // stops every tree of the block.
    std::unique_ptr<const LeafNames> names_;
    bool table_failed_ = false;
    Malformed table_problem_;
};

}  // namespace tavrin

#endif  // TAVRIN_TREE_NEXUS_H
