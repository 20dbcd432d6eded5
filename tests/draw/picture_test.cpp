// Pictures of analysed trees: every leaf of a small tree once as a labelled text with its role,
// wedges and merged tips in big trees, the caption, escaping, the size bound and the file names.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "draw/layout.h"
#include "draw/picture.h"
#include "draw/picture_file.h"
#include "platform/files.h"
#include "support/analysis_fixtures.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

using tavrin::AnalysisResult;
using tavrin::AnalysisSettings;
using tavrin::DrawnTree;
using tavrin::Role;
using tavrin::Tip;

struct Label {
    std::string text;  // entities undone
    std::string role;
};

std::string unescape(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + 1))
            text.replace(at, std::string(entity).size(), plain);
    }
    return text;
}

// The whole text of every <text> element, with its class when it is one of the four roles.
// Read by hand: the standard regular expressions recurse as deep as the text is long.
std::vector<Label> text_elements(const std::string& svg) {
    std::vector<Label> labels;
    for (std::size_t at = svg.find("<text"); at != std::string::npos;
         at = svg.find("<text", at + 1)) {
        const std::size_t open_end = svg.find('>', at);
        const std::size_t close = svg.find("</text>", open_end);
        const std::string attributes = svg.substr(at, open_end - at);
        std::string content;
        bool in_tag = false;
        for (std::size_t i = open_end + 1; i < close; ++i) {
            if (svg[i] == '<' || svg[i] == '>') {
                in_tag = svg[i] == '<';
            } else if (!in_tag) {
                content += svg[i];
            }
        }
        Label label{unescape(content), ""};
        for (const char* role : {"target", "sister1", "sister2", "other"}) {
            if (attributes.find(std::string(" class=\"") + role + "\"") != std::string::npos)
                label.role = role;
        }
        labels.push_back(label);
    }
    return labels;
}

struct Drawn {
    std::unique_ptr<Phylogeny> tree;
    AnalysisResult result;
    std::string svg;
};

Drawn draw(const std::string& text, const std::string& prefix, const std::string& groups = "",
           const std::string& root = "") {
    AnalysisSettings settings;
    settings.prefix = prefix;
    if (!root.empty()) settings.root = analysis_fixtures::root_list_of(root);
    if (!groups.empty()) {
        const std::string path = ::testing::TempDir() + "picture_test_groups.txt";
        std::ofstream(path) << groups;
        EXPECT_EQ(settings.groups.load(path), GroupRelations::LoadResult::kLoaded);
    }
    Drawn drawn;
    drawn.tree = std::make_unique<Phylogeny>(text);
    tavrin::AnalysisNeeds needs;
    needs.picture = true;
    drawn.result = tavrin::analyse(*drawn.tree, settings, needs);
    const tavrin::PictureSource source{"trees/t1.nwk", 1, false, "Choano", ""};
    drawn.svg = tavrin::draw_picture(*drawn.tree, drawn.result, settings, source,
                                     tavrin::PictureIdentity(source));
    return drawn;
}

std::map<std::string, std::string> roles_by_name(const std::vector<Label>& labels) {
    std::map<std::string, std::string> roles;
    for (const Label& label : labels) {
        if (!label.role.empty()) roles[label.text] = label.role;
    }
    return roles;
}

const char* const kGroups =
    "Opisthokonta Fungi\nOpisthokonta Metazoa\nAmorphea Opisthokonta\nAmorphea Amoebozoa\n";

TEST(Picture, EveryLeafOnceWithItsRole) {
    const Drawn d = draw(
        "((((Choano-a:0.1,Choano-b:0.2)95:0.05,Metazoa-m:0.3)80:0.1,Fungi-f:0.4)70:0.2,"
        "Fungi-g:0.5);",
        "Choano", kGroups);
    const std::vector<Label> labels = text_elements(d.svg);
    std::map<std::string, int> seen;
    for (const Label& label : labels)
        ++seen[label.text];
    for (const char* leaf : {"Choano-a", "Choano-b", "Metazoa-m", "Fungi-f", "Fungi-g"})
        EXPECT_EQ(seen[leaf], 1) << leaf;
    const std::map<std::string, std::string> expected = {{"Choano-a", "target"},
                                                         {"Choano-b", "target"},
                                                         {"Metazoa-m", "sister1"},
                                                         {"Fungi-f", "sister2"},
                                                         {"Fungi-g", "sister2"}};
    EXPECT_EQ(roles_by_name(labels), expected);
    // The caption, which names the file (not the tree's place in the run, which only the
    // picture's file name holds), and the reported support at the target's parent, in bold.
    EXPECT_NE(d.svg.find("<title>trees/t1.nwk. Target: Choano"), std::string::npos);
    EXPECT_NE(d.svg.find("Sisters: Metazoa, Fungi \xC2\xB7 Support: 80 \xC2\xB7 Rerooted: no"),
              std::string::npos);
    EXPECT_NE(d.svg.find("class=\"reported\">80</tspan>"), std::string::npos);
}

TEST(Picture, RerootedTreeAcrossTheRootShowsNotApplicable) {
    const Drawn d =
        draw("((Choano-a:0.1,Metazoa-m:0.2)60:0.1,(Choano-b:0.1,Choano-c:0.1)85:0.1);", "Choano");
    const auto roles = roles_by_name(text_elements(d.svg));
    EXPECT_EQ(roles.at("Metazoa-m"), "sister1");
    EXPECT_EQ(roles.at("Choano-a"), "target");
    EXPECT_NE(d.svg.find("class=\"reported\">n/a</tspan>"), std::string::npos);
    EXPECT_NE(d.svg.find("Rerooted: yes"), std::string::npos);
}

// With --root the caption names the entry that rooted the tree, or the list none of whose
// entries applied; without it, nothing.
TEST(Picture, CaptionNamesTheRootEntry) {
    const char* const text =
        "((Choano-a:1,Choano-b:1)90:1,(Metazoa-m:1,(Fungi-f:3,Fungi-g:1)80:1)70:1);";
    EXPECT_EQ(draw(text, "Choano").svg.find("Root:"), std::string::npos);
    EXPECT_NE(
        draw(text, "Choano", "", "Fungi,midpoint").svg.find("Rerooted: no \xC2\xB7 Root: Fungi"),
        std::string::npos);
    const Drawn none = draw(text, "Choano", "", "Plantae");
    ASSERT_EQ(none.result.status, tavrin::TreeStatus::kNoRoot);
    EXPECT_NE(none.svg.find("Sisters: none \xC2\xB7 Root: none of Plantae"), std::string::npos);
}

TEST(Picture, TreesWithoutAnAnswerStillShowTheirTargetLeaves) {
    // Not a clade: the target leaves stand apart, and every one is highlighted.
    const Drawn d = draw("(((Choano-a,Fungi-f),Metazoa-m),(Choano-b,Fungi-g));", "Choano");
    ASSERT_EQ(d.result.status, tavrin::TreeStatus::kNotAClade);
    const auto roles = roles_by_name(text_elements(d.svg));
    EXPECT_EQ(roles.at("Choano-a"), "target");
    EXPECT_EQ(roles.at("Choano-b"), "target");
    EXPECT_EQ(roles.at("Fungi-f"), "other");
    EXPECT_NE(d.svg.find("Status: not-a-clade"), std::string::npos);
    EXPECT_NE(d.svg.find("Sisters: none"), std::string::npos);
}

TEST(Picture, NamesAreEscapedAndNoOtherTextIsALeafName) {
    // A leaf named like a support value, and names with markup and control bytes.
    const Drawn d =
        draw("((Choano-<a>&'b':1,Choano-c:1)95:1,(95:1,Fungi-\x01x\xFF:1)80:1);", "Choano");
    EXPECT_EQ(d.svg.find('\x01'), std::string::npos);
    EXPECT_EQ(d.svg.find('\xFF'), std::string::npos);
    EXPECT_NE(d.svg.find(">Choano-&lt;a&gt;&amp;&apos;b&apos;</text>"), std::string::npos);
    std::map<std::string, int> seen;
    for (const Label& label : text_elements(d.svg))
        ++seen[label.text];
    EXPECT_EQ(seen["95"], 1);
    EXPECT_EQ(seen["Choano-c"], 1);
}

// A balanced tree of `leaves` leaves (a power of two), leaf i named by `name(i)`.
std::string balanced(std::size_t leaves, std::string (*name)(std::size_t)) {
    std::vector<std::string> level;
    for (std::size_t i = 0; i < leaves; ++i)
        level.push_back(name(i) + ":1");
    while (level.size() > 1) {
        std::vector<std::string> next;
        for (std::size_t i = 0; i + 1 < level.size(); i += 2)
            next.push_back("(" + level[i] + "," + level[i + 1] + ")90:1");
        level.swap(next);
    }
    return level[0] + ";";
}

std::size_t count_tips(const std::vector<Label>& labels, const std::string& suffix_pattern) {
    const std::regex pattern(suffix_pattern);
    std::size_t count = 0;
    for (const Label& label : labels) {
        if (!label.role.empty() && std::regex_search(label.text, pattern)) ++count;
    }
    return count;
}

TEST(Picture, BigTreesDrawCladesOfOnePrefixAsWedges) {
    // 512 leaves in blocks of 32 of one group; the 7th block is the target.
    const Drawn d =
        draw(balanced(512,
                      [](std::size_t i) {
                          const char* groups[] = {"Fungi", "Metazoa", "Plantae"};
                          const std::size_t block = i / 32;
                          return std::string(block == 6 ? "Choano" : groups[block % 3]) + "-" +
                                 std::to_string(i);
                      }),
             "Choano");
    const std::vector<Label> labels = text_elements(d.svg);
    EXPECT_EQ(count_tips(labels, "^(Fungi|Metazoa|Plantae) \\(32\\)$"), 15u);
    EXPECT_EQ(count_tips(labels, "^Choano \\(32\\)$"), 1u);
    EXPECT_EQ(roles_by_name(labels).at("Choano (32)"), "target");
    EXPECT_EQ(count_tips(labels, "-[0-9]+$"), 0u);  // no single leaf
}

TEST(Picture, AtMost400TipsAndTheTargetKeptWhenItsPathIsShort) {
    // 1024 leaves of distinct prefixes: no wedge of one prefix, so the deepest clades merge.
    const Drawn d = draw(
        balanced(1024,
                 [](std::size_t i) {
                     return (i == 700 ? std::string("Choano") : "G" + std::to_string(i)) + "-x";
                 }),
        "Choano");
    const std::vector<Label> labels = text_elements(d.svg);
    std::size_t tips = 0, leaves = 0;
    for (const Label& label : labels) {
        if (label.role.empty()) continue;
        ++tips;
        std::smatch m;
        if (std::regex_search(label.text, m, std::regex("^mixed \\(([0-9]+)\\)$"))) {
            leaves += std::stoul(m[1]);
        } else {
            ++leaves;
        }
    }
    EXPECT_LE(tips, 400u);
    EXPECT_GE(tips, 390u);
    EXPECT_EQ(leaves, 1024u);
    EXPECT_EQ(roles_by_name(labels).at("Choano-x"), "target");
}

TEST(Picture, LadderPastTheLimitMergesFromTheDeepEnd) {
    std::string text = "Choano-1:1";
    for (int i = 2; i <= 3000; ++i)
        text = "(" + text + ",L" + std::to_string(i) + "-x:1)50:1";
    const Drawn d = draw(text + ";", "Choano");
    const std::vector<Label> labels = text_elements(d.svg);
    EXPECT_EQ(count_tips(labels, "."), 400u);
    EXPECT_EQ(count_tips(labels, "^mixed \\(2601\\)$"), 1u);
    EXPECT_EQ(count_tips(labels, "^L3000-x$"), 1u);
}

TEST(Picture, StaysBelowOneMegabyteWhateverTheNames) {
    std::string text = "(Choano-a:1,Choano-b:1)";
    const std::string long_name(5000, '&');
    for (int i = 0; i < 190; ++i)
        text = "(" + text + ":1,F" + std::to_string(i) + long_name + ":1)";
    const Drawn d = draw(text + ";", "Choano");
    EXPECT_LE(d.svg.size(), tavrin::kMaxPictureBytes);
    const std::vector<Label> labels = text_elements(d.svg);
    // Each name cut after 200 characters, with an ellipsis.
    EXPECT_EQ(count_tips(labels, "^F[0-9]+&{196,198}\xE2\x80\xA6$"), 190u);
}

TEST(Picture, LayoutOfATreeWithoutLengthsLinesUpItsLeaves) {
    Phylogeny tree("((A,B),(C,(D,E)));");
    tavrin::LayoutInput input;
    input.root = tree.root;
    const DrawnTree drawn = tavrin::lay_out(input);
    EXPECT_FALSE(drawn.lengths);
    ASSERT_EQ(drawn.tips, 5u);
    for (const tavrin::DrawnNode& n : drawn.nodes) {
        if (n.tip == Tip::kLeaf) {
            EXPECT_EQ(n.x, drawn.width) << n.label;
        }
        EXPECT_EQ(n.role, Role::kOther);
    }
    EXPECT_EQ(drawn.nodes[0].x, 0);
}

// Realistic gene trees, as inference programs wrote them: every leaf of the tree analysed is
// drawn once, and no other text is a leaf's name.
TEST(Picture, GeneTreesDrawEveryLeafOnce) {
    AnalysisSettings settings;
    settings.prefix = "Choano";
    ASSERT_EQ(settings.groups.load(TAVRIN_SOURCE_DIR "/bench/genes/groups.txt"),
              GroupRelations::LoadResult::kLoaded);
    for (const char* program : {"iqtree", "fasttree", "raxml"}) {
        for (int gene = 1; gene <= 12; ++gene) {
            char path[256];
            std::snprintf(path, sizeof path, "%s/bench/genes/%s/g%03d.nwk", TAVRIN_SOURCE_DIR,
                          program, gene);
            std::string text;
            ASSERT_TRUE(tavrin::read_file(path, text)) << path;
            tavrin::ReadOptions options;
            options.dialect = tavrin::Dialect::kStandard;
            tavrin::TreeReader reader(text, options);
            std::optional<tavrin::TreeRead> read = reader.next();
            ASSERT_TRUE(read && read->tree) << path;
            tavrin::AnalysisNeeds needs;
            needs.outliers = true;
            needs.picture = true;
            const AnalysisResult result = tavrin::analyse(*read->tree, settings, needs);
            const tavrin::PictureSource source{path, 1, false, "Choano", ""};
            const std::string svg = tavrin::draw_picture(*read->tree, result, settings, source,
                                                         tavrin::PictureIdentity(source));
            std::map<std::string, int> leaves, texts;
            tavrin::preorder(read->tree->root, [&](const Phylogeny_Node* n) {
                if (n->is_leaf) ++leaves[n->name];
            });
            std::size_t targets = 0;
            for (const Label& label : text_elements(svg)) {
                if (leaves.count(label.text) != 0) ++texts[label.text];
                if (label.role == "target") ++targets;
            }
            EXPECT_EQ(texts, leaves) << path;
            EXPECT_EQ(targets, result.target_leaves) << path;
        }
    }
}

// A picture's name: its label, number, target (written safely) and file's base, and the tree's
// number in a file of several; the base keeps every extension but a final .gz and one tree
// extension.
TEST(PictureName, LabelNumberTargetBaseAndTree) {
    struct Case {
        PictureSource source;
        std::size_t number;
        const char* name;
    };
    const Case cases[] = {
        {{"data/g002.nwk", 1, false, "Choano", ""}, 12, "000012_Choano_g002.svg"},
        {{"data/g002.nwk", 1, false, "Choano", "iqtree"}, 12, "iqtree_000012_Choano_g002.svg"},
        {{"all.trees.nwk", 2, true, "Bryo", ""}, 13, "000013_Bryo_all.trees_2.svg"},
        {{"/a/b/my tree (1).tre", 1, false, "T", ""}, 1234567, "1234567_T_my_tree__1_.svg"},
        {{"noext", 1, false, "T", ""}, 1, "000001_T_noext.svg"},
        {{".hidden", 1, false, "T", ""}, 1, "000001_T_.hidden.svg"},
        {{"caf\xC3\xA9.nwk", 3, true, "T", ""}, 1, "000001_T_caf___3.svg"},
        {{"raxml/RAxML_bipartitions.g01", 1, false, "Lyco", "raxml"},
         5,
         "raxml_000005_Lyco_RAxML_bipartitions.g01.svg"},
        // The target's bytes outside [A-Za-z0-9.-] as %XX, '_' and '%' too: no two targets
        // share a name, and none leaves the folder.
        {{"g.nwk", 1, false, "a_b", ""}, 1, "000001_a%5Fb_g.svg"},
        {{"g.nwk", 1, false, "../x/y%", ""}, 1, "000001_..%2Fx%2Fy%25_g.svg"},
        {{"g.nwk", 1, false, "^Bryo|Lyco$", ""}, 1, "000001_%5EBryo%7CLyco%24_g.svg"},
        {{"g.nwk", 1, false, "caf\xC3\xA9", ""}, 1, "000001_caf%C3%A9_g.svg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PictureIdentity(c.source).name(c.number), c.name) << c.name;
}

TEST(PictureName, BaseDropsGzAndOneTreeExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"g01.nwk", "g01"},
        {"g01.nwk.gz", "g01"},
        {"g01.NWK.GZ", "g01"},
        {"g01.newick", "g01"},
        {"g01.tre", "g01"},
        {"g01.tree", "g01"},
        {"g01.trees", "g01"},
        {"g01.treefile", "g01"},
        {"g01.contree", "g01"},
        {"g01.nex", "g01"},
        {"g01.nexus", "g01"},
        {"g01.t", "g01"},
        {"g01.run1.t", "g01"},
        {"g01.run12.t.gz", "g01"},
        {"g01.nex.con.tre", "g01.nex"},
        {"g01.nex.run2.t", "g01.nex"},
        {"RAxML_bipartitions.g01", "RAxML_bipartitions.g01"},
        {"RAxML_bipartitions.g01.gz", "RAxML_bipartitions.g01"},
        {"g01.fasta.treefile", "g01.fasta"},
        {"g01.nwk.txt", "g01.nwk.txt"},
        {"g01.run.t", "g01.run"},
        {"dir.nwk/g01", "g01"},
        {".nwk", ".nwk"},
        {".run1.t", ".run1"},
        {"x.gz", "x"},
        {".gz", ".gz"},
    };
    for (const auto& [path, base] : cases)
        EXPECT_EQ(picture_base(path), base) << path;
}

// A name never passes 200 bytes: a long base is cut, the label, number, target and tree kept; a
// long target is cut between two escapes.
TEST(PictureName, LongBaseAndTargetCut) {
    const std::string base(251, 'g');
    const std::string label(40, 'L');
    const std::string path = "dir/" + base + ".nwk";
    const std::string cut = PictureIdentity({path, 12, true, "T", label}).name(1234567);
    EXPECT_EQ(cut.size(), kMaxPictureName);
    EXPECT_EQ(cut.substr(0, 51), label + "_1234567_T_");
    EXPECT_EQ(cut.substr(cut.size() - 8), "g_12.svg");
    EXPECT_EQ(PictureIdentity({base.substr(0, 100), 1, false, "T", ""}).name(1).size(), 113u);
    const std::string target = std::string(59, 'x') + "__";
    const std::string name = PictureIdentity({"g.nwk", 1, false, target, ""}).name(1);
    EXPECT_EQ(name, "000001_" + std::string(59, 'x') + "_g.svg");
}

// The source names file, tree, target and label, each with the table's escapes, then XML's.
TEST(PictureName, SourceRecordsFileTreeTargetAndLabel) {
    EXPECT_EQ(PictureIdentity({"a\tb\\c<d>.nwk", 3, true, "T&x", ""}).source(),
              "a\\tb\\\\c&lt;d&gt;.nwk\t3\tT&amp;x\t");
    EXPECT_EQ(PictureIdentity({"g.nwk", 1, false, "Bryo", "raxml"}).source(),
              "g.nwk\t1\tBryo\traxml");
}

}  // namespace

}  // namespace tavrin
