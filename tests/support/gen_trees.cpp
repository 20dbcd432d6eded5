// Deterministic generator of benchmark inputs for Tavrin.
//
//   tavrin_gen balanced    N FILE      balanced binary tree of N leaves
//   tavrin_gen caterpillar N FILE      ladder ((((L1,L2),L3),L4)...) of N leaves
//   tavrin_gen star        N FILE      one multifurcation (L1,L2,...,LN)
//   tavrin_gen groups      FILE        the small taxonomy that the leaf prefixes above belong to
//   tavrin_gen genes       COUNT DIR   COUNT gene trees of about 200 leaves, DIR/files.txt listing
//                                      them, and DIR/groups.txt
//   tavrin_gen taxonomy    LINES GROUPS TREE
//                                      a group file of about LINES lines (smallest groups first,
//                                      a deep binary hierarchy) and a tree whose leaves carry its
//                                      prefixes, two leaves per prefix, shaped like the hierarchy
//
// Every tree holds a target clade for the search prefix printed on standard output as
// "prefix=..." (Choano for all but the taxonomy tree), with supports on internal nodes and
// branch lengths everywhere. The same arguments always give the same bytes: the random numbers
// come from a fixed-seed splitmix64 and are turned into values with integer arithmetic only.
//
// Trees are held as flat node arrays and written with an explicit stack, so a 10^6-deep ladder
// needs no deep recursion here either.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tavrin {

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // Uniform enough for test data in [0, bound); bound > 0.
    uint64_t below(uint64_t bound) { return next() % bound; }

private:
    uint64_t state_;
};

// Leaf groups. Index 0 is the target group; the others are the prefixes of the small taxonomy.
const char* const kGroupNames[] = {"Choano",  "Fungi", "Metazoa",  "Amoebozoa",
                                   "Plantae", "Rhodo", "Excavata", "SAR"};
constexpr int kOtherGroups = 7;

// Written from the smallest groups up, so every group records the members of its subgroups.
const char* const kTaxonomy =
    "Opisthokonta Fungi\n"
    "Opisthokonta Metazoa\n"
    "Opisthokonta Choano\n"
    "Amorphea Opisthokonta\n"
    "Amorphea Amoebozoa\n"
    "Archaeplastida Plantae\n"
    "Archaeplastida Rhodo\n"
    "Diaphoretickes Archaeplastida\n"
    "Diaphoretickes SAR\n"
    "Eukaryota Amorphea\n"
    "Eukaryota Diaphoretickes\n"
    "Eukaryota Excavata\n";

// A rooted binary tree as flat arrays. Nodes below leaf_count are leaves; the others are
// internal and have both children.
struct Tree {
    std::vector<std::string> leaf_name;
    std::vector<int32_t> left;   // indexed by node - leaf_count
    std::vector<int32_t> right;  // indexed by node - leaf_count
    int32_t root = -1;

    int32_t leaf_count() const { return static_cast<int32_t>(leaf_name.size()); }
    bool is_leaf(int32_t node) const { return node < leaf_count(); }

    int32_t add_leaf(std::string name) {
        leaf_name.push_back(std::move(name));
        return leaf_count() - 1;
    }

    // Internal nodes get ids after all leaves; call only once every leaf has been added.
    int32_t join(int32_t a, int32_t b) {
        left.push_back(a);
        right.push_back(b);
        return leaf_count() + static_cast<int32_t>(left.size()) - 1;
    }
};

// Buffered writer for large files.
class Output {
public:
    explicit Output(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
        if (file_ == nullptr) {
            std::fprintf(stderr, "tavrin_gen: cannot write %s\n", path.c_str());
            std::exit(1);
        }
        buffer_.reserve(kChunk + 4096);
    }
    ~Output() { close(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void put(char c) {
        buffer_.push_back(c);
        if (buffer_.size() >= kChunk) flush();
    }
    void put(const std::string& text) { put(text.data(), text.size()); }
    void put(const char* text, size_t size) {
        buffer_.append(text, size);
        if (buffer_.size() >= kChunk) flush();
    }
    void close() {
        if (file_ == nullptr) return;
        flush();
        if (std::fclose(file_) != 0) {
            std::fprintf(stderr, "tavrin_gen: error writing %s\n", path_.c_str());
            std::exit(1);
        }
        file_ = nullptr;
    }

private:
    static constexpr size_t kChunk = 1 << 20;

    void flush() {
        if (!buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
            std::fprintf(stderr, "tavrin_gen: error writing %s\n", path_.c_str());
            std::exit(1);
        }
        buffer_.clear();
    }

    std::string path_;
    std::FILE* file_;
    std::string buffer_;
};

// ":0.dddd", a branch length between 0.0001 and 0.5.
void put_length(Output& out, Random& random) {
    char text[16];
    const int n =
        std::snprintf(text, sizeof text, ":0.%04u", static_cast<unsigned>(1 + random.below(5000)));
    out.put(text, static_cast<size_t>(n));
}

// A support value between 50 and 100.
void put_support(Output& out, Random& random) {
    char text[8];
    const int n =
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(50 + random.below(51)));
    out.put(text, static_cast<size_t>(n));
}

// Writes the tree in Newick, iteratively: left subtree, ",", right subtree, then the node's
// support and length. The root gets neither, as most tree files have it.
void write_newick(const Tree& tree, Output& out, Random& random) {
    struct Frame {
        int32_t node;
        int stage;
    };
    std::vector<Frame> stack{{tree.root, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const int32_t node = frame.node;
        if (tree.is_leaf(node)) {
            out.put(tree.leaf_name[static_cast<size_t>(node)]);
            put_length(out, random);
            stack.pop_back();
            continue;
        }
        const size_t inner = static_cast<size_t>(node - tree.leaf_count());
        if (frame.stage == 0) {
            out.put('(');
            frame.stage = 1;
            stack.push_back({tree.left[inner], 0});
        } else if (frame.stage == 1) {
            out.put(',');
            frame.stage = 2;
            stack.push_back({tree.right[inner], 0});
        } else {
            out.put(')');
            if (node != tree.root) {
                put_support(out, random);
                put_length(out, random);
            }
            stack.pop_back();
        }
    }
    out.put(";\n", 2);
}

std::string leaf(int group, uint64_t serial) {
    return std::string(kGroupNames[group]) + "-" + std::to_string(serial);
}

// Joins neighbours level by level (the odd one out moves up unchanged), so node i of level j
// holds exactly the items i * 2^j to (i + 1) * 2^j - 1 whenever that range is complete.
int32_t join_balanced(Tree& tree, std::vector<int32_t> level) {
    while (level.size() > 1) {
        std::vector<int32_t> next;
        next.reserve(level.size() / 2 + 1);
        for (size_t i = 0; i + 1 < level.size(); i += 2)
            next.push_back(tree.join(level[i], level[i + 1]));
        if (level.size() % 2 == 1) next.push_back(level.back());
        level.swap(next);
    }
    return level.front();
}

// Joins randomly chosen neighbours until one node is left: a random tree in which every clade
// is a run of consecutive items, so blocks of one group stay together.
int32_t join_random(Tree& tree, std::vector<int32_t> items, Random& random) {
    while (items.size() > 1) {
        const size_t at = static_cast<size_t>(random.below(items.size() - 1));
        items[at] = tree.join(items[at], items[at + 1]);
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(at) + 1);
    }
    return items.front();
}

// The target is an aligned block of 2^k leaves, about 1% of the tree; the other leaves come in
// blocks of the same size, each block one group.
void make_balanced(uint64_t n, const std::string& path) {
    int k = 0;
    while ((uint64_t{2} << k) <= n / 100)
        ++k;
    const uint64_t block = uint64_t{1} << k;
    const uint64_t target_block = (n / block) / 3;
    Tree tree;
    tree.leaf_name.reserve(n);
    std::vector<int32_t> leaves;
    leaves.reserve(n);
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t b = i / block;
        const int group = b == target_block ? 0 : 1 + static_cast<int>(b % kOtherGroups);
        leaves.push_back(tree.add_leaf(leaf(group, i + 1)));
    }
    tree.root = join_balanced(tree, std::move(leaves));
    Random random(n * 3 + 1);
    Output out(path);
    write_newick(tree, out, random);
    std::printf("prefix=Choano leaves=%llu target_leaves=%llu\n",
                static_cast<unsigned long long>(n), static_cast<unsigned long long>(block));
}

// Leaf names for the ladder and the star: the first 1% are the target, the rest come in runs of
// four leaves of one group.
std::string ladder_leaf(uint64_t i, uint64_t targets) {
    if (i < targets) return leaf(0, i + 1);
    return leaf(1 + static_cast<int>(((i - targets) / 4) % kOtherGroups), i + 1);
}

uint64_t ladder_targets(uint64_t n) {
    return n / 100 > 1 ? n / 100 : 2;
}

// In ((((L1,L2),L3),L4)...) the first leaves are the deepest, so L1..Lk is a clade.
void make_caterpillar(uint64_t n, const std::string& path) {
    const uint64_t targets = ladder_targets(n);
    Tree tree;
    tree.leaf_name.reserve(n);
    for (uint64_t i = 0; i < n; ++i)
        tree.add_leaf(ladder_leaf(i, targets));
    int32_t node = 0;
    for (uint64_t i = 1; i < n; ++i)
        node = tree.join(node, static_cast<int32_t>(i));
    tree.root = node;
    Random random(n * 5 + 2);
    Output out(path);
    write_newick(tree, out, random);
    std::printf("prefix=Choano leaves=%llu target_leaves=%llu\n",
                static_cast<unsigned long long>(n), static_cast<unsigned long long>(targets));
}

// A multifurcation is read as a chain nested on the left, so L1..Lk is a clade here too.
void make_star(uint64_t n, const std::string& path) {
    const uint64_t targets = ladder_targets(n);
    Random random(n * 7 + 3);
    Output out(path);
    out.put('(');
    for (uint64_t i = 0; i < n; ++i) {
        if (i > 0) out.put(',');
        out.put(ladder_leaf(i, targets));
        put_length(out, random);
    }
    out.put(");\n", 3);
    std::printf("prefix=Choano leaves=%llu target_leaves=%llu\n",
                static_cast<unsigned long long>(n), static_cast<unsigned long long>(targets));
}

void write_text(const std::string& path, const char* text) {
    Output out(path);
    out.put(std::string(text));
}

// Non-target leaves of one gene tree: runs of 3 to 12 leaves of one group.
std::vector<int32_t> gene_outgroup(Tree& tree, int count, Random& random, uint64_t& serial) {
    std::vector<int32_t> leaves;
    int group = 1 + static_cast<int>(random.below(kOtherGroups));
    int run = 0;
    for (int i = 0; i < count; ++i) {
        if (run == 0) {
            group = 1 + static_cast<int>(
                            (static_cast<uint64_t>(group) + random.below(kOtherGroups - 1)) %
                            kOtherGroups);
            run = 3 + static_cast<int>(random.below(10));
        }
        --run;
        leaves.push_back(tree.add_leaf(leaf(group, ++serial)));
    }
    return leaves;
}

std::vector<int32_t> gene_targets(Tree& tree, int count, uint64_t& serial) {
    std::vector<int32_t> leaves;
    for (int i = 0; i < count; ++i)
        leaves.push_back(tree.add_leaf(leaf(0, ++serial)));
    return leaves;
}

// Gene tree number i: in 7 of 10 the target is a clade, in 2 of 10 it becomes one after the
// reroot above the outgroup, and in 1 of 10 it is split between the root's two sides.
void make_gene_tree(uint64_t i, const std::string& path) {
    Random random(1000003 * (i + 1));
    const int n = 180 + static_cast<int>(random.below(41));
    const int targets = 5 + static_cast<int>(random.below(16));
    const uint64_t kind = i % 10;
    uint64_t serial = 0;
    Tree tree;
    // All leaves first: internal node ids follow the leaves.
    std::vector<int32_t> target_leaves = gene_targets(tree, targets, serial);
    std::vector<int32_t> others = gene_outgroup(tree, n - targets, random, serial);
    if (kind < 7) {
        const int32_t clade = join_random(tree, target_leaves, random);
        others.insert(others.begin() + static_cast<std::ptrdiff_t>(random.below(others.size() + 1)),
                      clade);
        tree.root = join_random(tree, others, random);
    } else if (kind < 9) {
        // ((Y, B), R): Y and R hold the targets, B the rest; rooted on the edge above B, the
        // targets form one clade.
        const size_t cut = 1 + static_cast<size_t>(random.below(target_leaves.size() - 1));
        const int32_t y = join_random(
            tree,
            std::vector<int32_t>(target_leaves.begin(),
                                 target_leaves.begin() + static_cast<std::ptrdiff_t>(cut)),
            random);
        const int32_t r = join_random(
            tree,
            std::vector<int32_t>(target_leaves.begin() + static_cast<std::ptrdiff_t>(cut),
                                 target_leaves.end()),
            random);
        const int32_t b = join_random(tree, others, random);
        const int32_t a = random.below(2) == 0 ? tree.join(y, b) : tree.join(b, y);
        tree.root = random.below(2) == 0 ? tree.join(a, r) : tree.join(r, a);
    } else {
        // Each side of the root mixes targets with other leaves.
        const size_t cut = 1 + static_cast<size_t>(random.below(target_leaves.size() - 1));
        const size_t half = others.size() / 2;
        std::vector<int32_t> side_a(others.begin(),
                                    others.begin() + static_cast<std::ptrdiff_t>(half));
        std::vector<int32_t> side_b(others.begin() + static_cast<std::ptrdiff_t>(half),
                                    others.end());
        const int32_t x1 = join_random(
            tree,
            std::vector<int32_t>(target_leaves.begin(),
                                 target_leaves.begin() + static_cast<std::ptrdiff_t>(cut)),
            random);
        const int32_t x2 = join_random(
            tree,
            std::vector<int32_t>(target_leaves.begin() + static_cast<std::ptrdiff_t>(cut),
                                 target_leaves.end()),
            random);
        side_a.insert(side_a.begin() + static_cast<std::ptrdiff_t>(random.below(side_a.size() + 1)),
                      x1);
        side_b.insert(side_b.begin() + static_cast<std::ptrdiff_t>(random.below(side_b.size() + 1)),
                      x2);
        const int32_t a = join_random(tree, side_a, random);
        const int32_t b = join_random(tree, side_b, random);
        tree.root = tree.join(a, b);
    }
    Output out(path);
    write_newick(tree, out, random);
}

void make_genes(uint64_t count, const std::string& dir) {
    Output list(dir + "/files.txt");
    for (uint64_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "g%05llu.nwk", static_cast<unsigned long long>(i + 1));
        make_gene_tree(i, dir + "/" + name);
        list.put(std::string(name) + "\n");
    }
    write_text(dir + "/groups.txt", kTaxonomy);
    std::printf("prefix=Choano files=%llu\n", static_cast<unsigned long long>(count));
}

// A binary hierarchy over lines / 2 leaf prefixes Taxon<i>: level j holds the groups
// Clade<j>_<i>, each with two members of level j - 1 (the odd one out has one). Lines are
// written level by level from the bottom, so the file goes from the smallest groups up. The
// tree mirrors the hierarchy: each prefix node holds Taxon<i>-a and Taxon<i>-b.
void make_taxonomy(uint64_t lines, const std::string& groups_path, const std::string& tree_path) {
    const uint64_t prefixes = lines / 2 > 1 ? lines / 2 : 2;
    Tree tree;
    tree.leaf_name.reserve(2 * prefixes);
    std::vector<std::string> names;  // names of the current level's items
    for (uint64_t i = 0; i < prefixes; ++i) {
        names.push_back("Taxon" + std::to_string(i));
        tree.add_leaf(names.back() + "-a");
        tree.add_leaf(names.back() + "-b");
    }
    std::vector<int32_t> nodes;
    for (uint64_t i = 0; i < prefixes; ++i)
        nodes.push_back(tree.join(static_cast<int32_t>(2 * i), static_cast<int32_t>(2 * i + 1)));

    Output groups(groups_path);
    uint64_t written = 0;
    uint64_t closure_pairs = 0;  // pairs of the closed list: each line adds 1 + its member's size
    std::vector<uint64_t> held(prefixes, 0);  // pairs whose group is the item, per item
    std::string target;
    int level = 0;
    while (names.size() > 1) {
        ++level;
        std::vector<std::string> next_names;
        std::vector<int32_t> next_nodes;
        std::vector<uint64_t> next_held;
        for (size_t i = 0; i < names.size(); i += 2) {
            const std::string group = "Clade" + std::to_string(level) + "_" + std::to_string(i / 2);
            uint64_t pairs = 0;
            for (size_t m = i; m < i + 2 && m < names.size(); ++m) {
                groups.put(group + " " + names[m] + "\n");
                ++written;
                pairs += 1 + held[m];
            }
            closure_pairs += pairs;
            next_names.push_back(group);
            next_held.push_back(pairs);
            next_nodes.push_back(i + 1 < names.size() ? tree.join(nodes[i], nodes[i + 1])
                                                      : nodes[i]);
        }
        // About 1,000 prefixes (2,000 leaves) below the target group.
        if (level == 10) target = next_names[next_names.size() / 3];
        names.swap(next_names);
        nodes.swap(next_nodes);
        held.swap(next_held);
    }
    groups.close();
    tree.root = nodes.front();
    Random random(lines * 11 + 5);
    Output out(tree_path);
    write_newick(tree, out, random);
    if (target.empty()) target = "Clade1_0";
    std::printf("prefix=%s leaves=%llu lines=%llu levels=%d closure_pairs=%llu\n", target.c_str(),
                static_cast<unsigned long long>(2 * prefixes),
                static_cast<unsigned long long>(written), level,
                static_cast<unsigned long long>(closure_pairs));
}

uint64_t parse_count(const char* text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || value < 2 || value > 100000000ULL) {
        std::fprintf(stderr, "tavrin_gen: bad count '%s' (2 to 10^8)\n", text);
        std::exit(2);
    }
    return value;
}

int usage() {
    std::fprintf(stderr,
                 "usage: tavrin_gen balanced|caterpillar|star N FILE\n"
                 "       tavrin_gen groups FILE\n"
                 "       tavrin_gen genes COUNT DIR\n"
                 "       tavrin_gen taxonomy LINES GROUPFILE TREEFILE\n");
    return 2;
}

}  // namespace

int run_main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string kind = argv[1];
    if (kind == "groups" && argc == 3) {
        write_text(argv[2], kTaxonomy);
    } else if (kind == "balanced" && argc == 4) {
        make_balanced(parse_count(argv[2]), argv[3]);
    } else if (kind == "caterpillar" && argc == 4) {
        make_caterpillar(parse_count(argv[2]), argv[3]);
    } else if (kind == "star" && argc == 4) {
        make_star(parse_count(argv[2]), argv[3]);
    } else if (kind == "genes" && argc == 4) {
        make_genes(parse_count(argv[2]), argv[3]);
    } else if (kind == "taxonomy" && argc == 5) {
        make_taxonomy(parse_count(argv[2]), argv[3], argv[4]);
    } else {
        return usage();
    }
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
