// Per-input checks shared by the libFuzzer targets, the regression replay test and the property
// tests of the reader.
//
// Each check takes the raw bytes of one input, runs the library on them and answers "" when
// every expectation holds, or a description of the first one that failed. The fuzz targets
// abort on a non-empty answer; the replay test reports it as a test failure. Sanitizer reports
// (memory errors, undefined behaviour, leaks) come from the build, not from these checks.
//
// Reader input: the bytes are the text of a tree file (line breaks included as they are).
// Analysis input, laid out to stay readable in the corpus:
//   byte 0          flags: bit 0 pattern search (--E), bit 1 with a group file, bit 2 a group
//                   file path that cannot be opened ('0'..'7' are the usual values)
//   up to '\n'      the search prefix
//   up to '\n'      the tree text (the driver joins a file's lines, so one line is enough)
//   the rest        the text of the group file
// Every walk below keeps its own stack: inputs can describe trees thousands of levels deep.
#ifndef TAVRIN_TESTS_SUPPORT_INPUT_CHECKS_H
#define TAVRIN_TESTS_SUPPORT_INPUT_CHECKS_H

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "contract/tavrin.h"
#include "output/report.h"
#include "support/reference_reader.h"
#include "support/tree_check.h"
#include "tree/newick_reader.h"
#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

namespace tavrin_fuzz {

// Longest search prefix given to the pattern engine: short ones already reach every part of the
// matcher, and long ones (counted repeats expanded) only slow the fuzzer down.
constexpr size_t kMaxPatternLength = 32;

// Captures what the library writes on standard error for the life of the object.
class CaptureStderr {
public:
    CaptureStderr() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CaptureStderr() { std::cerr.rdbuf(previous_); }
    CaptureStderr(const CaptureStderr&) = delete;
    CaptureStderr& operator=(const CaptureStderr&) = delete;
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

inline std::string fixed6(double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return buffer;
}

// Where two dumps part: a little of each from the first differing byte.
inline std::string first_difference(const std::string& got, const std::string& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i])
        ++i;
    const size_t from = i > 40 ? i - 40 : 0;
    return " (at byte " + std::to_string(i) + ": got '" + got.substr(from, 100) + "', expected '" +
           want.substr(from, 100) + "')";
}

using tree_check::check_links;
using tree_check::node_count;

// Are all leaf names free of the characters that the rendering cannot carry back to the reader?
inline bool names_survive_rendering(const std::vector<std::string>& leaves) {
    return std::none_of(leaves.begin(), leaves.end(), [](const std::string& name) {
        return name.find_first_of("(),:") != std::string::npos;
    });
}

// Infinite values render as "inf", which reads back as no number at all.
inline bool values_are_finite(const Phylogeny_Node* root) {
    return tavrin::preorder(root, [](const Phylogeny_Node* n) {
        return std::isfinite(n->support) && std::isfinite(n->length);
    });
}

// The reader and the renderer on one tree text.
inline std::string check_reader_text(const std::string& text) {
    const bool well_terminated = !text.empty() && text.back() == ';';
    CaptureStderr err;
    Phylogeny tree(text);
    if (!well_terminated) {
        if (tree.root != nullptr) return "a text not ending in ';' gave a tree";
        if (err.text().rfind("Malformed Newik Format file", 0) != 0) {
            return "no malformed-file message for a text not ending in ';'";
        }
        return "";
    }
    if (tree.root == nullptr) return "a text ending in ';' gave no tree";
    if (!err.text().empty()) return "a well-terminated text wrote a message: " + err.text();

    std::vector<std::string> leaves;
    const std::string links = check_links(tree.root, text.size() * 2 + 2, &leaves);
    if (!links.empty()) return "reader: " + links;

    // The tree as the reading rules describe it, character by character.
    const std::string body = text.substr(0, text.size() - 1);
    const std::string mismatch = reference_mismatch(tree.root, reference_read(body));
    if (!mismatch.empty()) return "reader disagrees with the reference reading: " + mismatch;

    // Both reading paths build the same tree whenever the one-pass path accepts the text.
    Phylogeny_Node one_pass;
    if (tavrin::read_well_formed(&one_pass, nullptr, body, 0, body.size())) {
        if (check_links(&one_pass, text.size() * 2 + 2) != "") return "one-pass reader: links";
        Phylogeny_Node general;
        tavrin::read_general(&general, nullptr, body, 0, body.size());
        if (check_links(&general, text.size() * 2 + 2) != "") return "general reader: links";
        const std::string quick = dump(&one_pass, bits);
        const std::string slow = dump(&general, bits);
        if (quick != slow) {
            return "one-pass and general readers build different trees" +
                   first_difference(quick, slow);
        }
    } else if (one_pass.left != nullptr || one_pass.right != nullptr || one_pass.is_leaf) {
        return "one-pass reader left a partly built node behind after refusing the text";
    }

    // Rendering: both forms agree, and a tree whose names hold no structural character reads
    // back from its rendering with the same shape, names and values to six decimals.
    const std::string rendered = tree.root->print();
    if (tree.root->print("ignored") != rendered) return "print(std::string) differs from print()";
    if (names_survive_rendering(leaves) && values_are_finite(tree.root)) {
        Phylogeny again(rendered + ";");
        if (again.root == nullptr) return "the rendering did not read back";
        const std::string back = dump(again.root, fixed6);
        const std::string before = dump(tree.root, fixed6);
        if (back != before) {
            return "the rendering read back as a different tree" + first_difference(back, before);
        }
    }
    return "";
}

inline std::string check_reader_input(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string verdict = check_reader_text(text);
    // Most mutated texts do not end in ';': read them once more as if they did, so that the
    // reader itself runs on them.
    if (verdict.empty() && (text.empty() || text.back() != ';')) {
        verdict = check_reader_text(text + ";");
    }
    return verdict;
}

// The group file's tokens, as the analysis reads them.
inline std::vector<std::string> group_tokens(const std::string& text) {
    std::vector<std::string> tokens;
    const std::string_view separators(" \t\n\v\f\r");
    size_t p = 0;
    while (true) {
        p = text.find_first_not_of(separators, p);
        if (p == std::string::npos) break;
        const size_t end = std::min(text.find_first_of(separators, p), text.size());
        tokens.push_back(text.substr(p, end - p));
        p = end;
    }
    return tokens;
}

// Most pairs the group list may hold: each pair of the file (a final unpaired token pairs with
// the empty name) is recorded, and its closure pass records each member at most once, so a line
// adds at most one pair per distinct name besides its own. Keeping every repeat instead lets
// lines such as "G G", or a cycle "A B" / "B A", double the list at every line.
inline double closure_pair_bound(const std::vector<std::string>& tokens) {
    std::vector<std::string> names = tokens;
    names.emplace_back();
    std::sort(names.begin(), names.end());
    const double distinct =
        static_cast<double>(std::unique(names.begin(), names.end()) - names.begin());
    const double lines = static_cast<double>((tokens.size() + 1) / 2);
    return lines * (1 + distinct);
}

struct AnalysisInput {
    bool use_regex = false;
    bool with_group_file = false;
    bool unreadable_group_file = false;
    std::string prefix;
    std::string tree_text;
    std::string group_text;
};

inline AnalysisInput split_analysis_input(const uint8_t* data, size_t size) {
    AnalysisInput in;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.empty()) return in;
    const unsigned flags = static_cast<unsigned char>(bytes[0]);
    in.use_regex = (flags & 1u) != 0;
    in.with_group_file = (flags & 2u) != 0;
    in.unreadable_group_file = (flags & 4u) != 0;
    std::string_view rest = bytes.substr(1);
    auto next_line = [&rest]() {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        return std::string(line);
    };
    in.prefix = next_line();
    in.tree_text = next_line();
    in.group_text = std::string(rest);
    if (in.use_regex && in.prefix.size() > kMaxPatternLength) in.prefix.resize(kMaxPatternLength);
    return in;
}

// The group file: one temporary file per process, unlinked as soon as it is made and reached
// through /proc/self/fd, so that nothing is left behind however the process ends (libFuzzer
// leaves without running static destructors). Rewritten for every input.
class ScratchGroupFile {
public:
    static ScratchGroupFile& get() {
        static ScratchGroupFile file;
        return file;
    }
    const std::string& path() const { return path_; }
    // A directory that exists: a path that cannot be read as a group file.
    const std::string& directory() const { return directory_; }

    bool write(const std::string& text) {
        if (ftruncate(fd_, 0) != 0) return false;
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n =
                pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        // A group file unchanged in identity, size and modification time is not read again;
        // rewrites in quick succession may share a time stamp, so each gets one of its own.
        ++writes_;
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(writes_), 0}};
        return futimens(fd_, times) == 0;
    }

    ScratchGroupFile(const ScratchGroupFile&) = delete;
    ScratchGroupFile& operator=(const ScratchGroupFile&) = delete;

private:
    ScratchGroupFile() {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string name = std::string(base) + "/tavrin-fuzz-groups-XXXXXX";
            fd_ = mkstemp(&name[0]);
            if (fd_ < 0) continue;
            directory_ = base;
            path_ = "/proc/self/fd/" + std::to_string(fd_);
            if (access(path_.c_str(), R_OK) == 0) {
                unlink(name.c_str());
            } else {
                path_ = name;  // no /proc: the named file stays behind
            }
            return;
        }
        std::fprintf(stdout, "cannot make a scratch file for the group file\n");
        std::abort();
    }
    ~ScratchGroupFile() { close(fd_); }

    int fd_ = -1;
    long writes_ = 0;
    std::string path_;
    std::string directory_;
};

// What one analysis shows: the status, the rows the driver prints, the messages, the tree.
struct AnalysisOutcome {
    Tavrin::Failure failure = Tavrin::Failure::kNone;
    std::string rows;
    std::string messages;
    std::string final_tree;
};

// Runs one analysis the way the driver does and checks what it left behind.
inline std::string run_analysis(const AnalysisInput& in, const std::string& group_path,
                                AnalysisOutcome& outcome) {
    CaptureStderr err;
    Phylogeny tree(in.tree_text);
    if (tree.root == nullptr) return "";  // malformed: the driver goes on with the next file
    std::vector<std::string> leaves_before;
    const std::string links_before = check_links(tree.root, node_count(tree.root), &leaves_before);
    if (!links_before.empty()) return "reader: " + links_before;
    const size_t nodes_before = 2 * leaves_before.size() - 1;

    const bool use_group_file = in.with_group_file || in.unreadable_group_file;
    const Tavrin analysis = use_group_file ? Tavrin(&tree, in.prefix, group_path, in.use_regex)
                                           : Tavrin(&tree, in.prefix, in.use_regex);
    outcome.failure = analysis.failure;
    outcome.messages = err.text();
    if (in.unreadable_group_file && analysis.failure == Tavrin::Failure::kNone) {
        return "an unreadable group file did not stop the analysis";
    }

    // The closure of the group file grows the list by at most one pair per name and line.
    if (in.with_group_file && !in.unreadable_group_file &&
        analysis.failure == Tavrin::Failure::kNone) {
        const double bound = closure_pair_bound(group_tokens(in.group_text));
        if (static_cast<double>(analysis.groups.size()) > bound) {
            return "the group list holds " + std::to_string(analysis.groups.size()) +
                   " pairs, more than one per name and line (" +
                   std::to_string(static_cast<size_t>(bound)) + ")";
        }
    }

    // The tree after the analysis: sound links, no new leaves, every node counted once.
    std::vector<std::string> leaves_after;
    const std::string links_after = check_links(tree.root, nodes_before, &leaves_after);
    if (!links_after.empty()) return "after the analysis: " + links_after;
    std::sort(leaves_before.begin(), leaves_before.end());
    std::sort(leaves_after.begin(), leaves_after.end());
    if (!std::includes(leaves_before.begin(), leaves_before.end(), leaves_after.begin(),
                       leaves_after.end())) {
        return "the analysis added leaves to the tree";
    }
    outcome.final_tree = tree.root->print();

    // A stopped analysis has no result, and the driver ends the run without rows.
    if (analysis.failure != Tavrin::Failure::kNone) {
        if (analysis.target != nullptr || analysis.sister_count != 0) {
            return "a stopped analysis still has a result";
        }
        return "";
    }
    if (analysis.target != nullptr) {
        const Phylogeny_Node* up = analysis.target;
        size_t steps = 0;
        while (up->parent != nullptr && steps++ <= nodes_before)
            up = up->parent;
        if (up != tree.root) return "the target is not in the tree";
    }

    // Sister names: 0, 1 or 2, none empty, two of them different.
    if (analysis.sister_count < 0 || analysis.sister_count > 2) return "sister_count out of range";
    if (analysis.sister_count > 0) {
        if (analysis.sisters.size() != static_cast<size_t>(analysis.sister_count)) {
            return "sisters and sister_count disagree";
        }
        if (analysis.target == nullptr || analysis.target == tree.root) {
            return "sisters without a target below the root";
        }
        for (const std::string& s : analysis.sisters) {
            if (s.empty()) return "an empty sister name";
        }
        if (analysis.sister_count == 2 && analysis.sisters[0] == analysis.sisters[1]) {
            return "two equal sister names";
        }
    }

    // The rows, as the driver writes them.
    std::ostringstream rows;
    write_rows(rows, analysis, in.prefix);
    outcome.rows = rows.str();
    return "";
}

// The whole analysis on a fuzzed tree, prefix, flags and group file.
inline std::string check_analysis_input(const uint8_t* data, size_t size) {
    const AnalysisInput in = split_analysis_input(data, size);
    ScratchGroupFile& scratch = ScratchGroupFile::get();
    std::string group_path = scratch.path();
    if (in.unreadable_group_file) {
        group_path = scratch.directory();  // a directory cannot be read as a group file
    } else if (in.with_group_file && !scratch.write(in.group_text)) {
        return "cannot write the group file";
    }

    // Two analyses of fresh copies of the tree: nothing may carry over from the first.
    AnalysisOutcome first, second;
    std::string verdict = run_analysis(in, group_path, first);
    if (!verdict.empty()) return verdict;
    verdict = run_analysis(in, group_path, second);
    if (!verdict.empty()) return "second run: " + verdict;
    if (first.failure != second.failure || first.rows != second.rows ||
        first.messages != second.messages || first.final_tree != second.final_tree) {
        return "a second analysis of the same input came out differently";
    }
    return "";
}

}  // namespace tavrin_fuzz

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_INPUT_CHECKS_H
