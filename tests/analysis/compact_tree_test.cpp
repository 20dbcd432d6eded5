// A tree read compact is the model's tree in other storage: the same nodes, names and values,
// the same answers from every step, and the same tree again after a rooting is undone.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "analysis/pipeline.h"
#include "analysis/root_list.h"
#include "tree/node_ref.h"
#include "tree/rooting.h"
#include "tree/tree_changes.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

// Every node in preorder: its kind, name, prefix number, exact values and its links' shape.
std::string dump(NodeRef root) {
    std::string out;
    preorder(root, [&](NodeRef n) {
        std::uint64_t length = 0, support = 0;
        const double l = n.length(), s = n.support();
        std::memcpy(&length, &l, sizeof l);
        std::memcpy(&support, &s, sizeof s);
        out += n.is_leaf() ? "L[" : "I[";
        out.append(n.name()) += "] " + std::to_string(length) + " " + std::to_string(support);
        out += n.left() ? " l" : " -";
        out += n.right() ? "r" : "-";
        const bool linked =
            (!n.left() || n.left().parent() == n) && (!n.right() || n.right().parent() == n);
        out += linked ? "\n" : " BROKEN\n";
    });
    return out;
}

std::unique_ptr<Phylogeny> read(const std::string& text, bool compact,
                                bool numbers_as_text = true) {
    ReadOptions options;
    if (compact) options.compact_from = 0;
    options.numbers_as_text = numbers_as_text;
    TreeReader reader(text, options);
    std::optional<TreeRead> read = reader.next();
    return read ? std::move(read->tree) : nullptr;
}

// A random tree of up to `leaves` leaves of three groups, with multifurcations, supports
// whole or fractional, lengths with exponents or missing.
std::string random_text(std::mt19937& rng, int leaves) {
    static const char* const kNames[] = {"Choano-", "Fungi-", "Metazoa-"};
    std::string text;
    int open = 0, written = 0;
    bool after_node = false;
    while (written < leaves || open > 0) {
        const unsigned r = rng() % 8;
        if (after_node && open > 0 && (r < 3 || written >= leaves)) {
            text += ')';
            if (rng() % 2) text += std::to_string(rng() % 101);
            if (rng() % 2)
                text += ":" + std::to_string(rng() % 7) + "e-" + std::to_string(rng() % 3);
            --open;
        } else if (after_node) {
            text += ',';
            after_node = false;
        } else if (r < 3 && written < leaves) {
            text += '(';
            ++open;
        } else {
            text += kNames[rng() % 3] + std::to_string(written++);
            if (rng() % 4) text += ":0." + std::to_string(rng() % 1000);
            after_node = true;
        }
    }
    return "(" + text + ",Fungi-x);";
}

TEST(CompactTree, ReadsAsTheModelDoes) {
    std::mt19937 rng(20261210);
    std::vector<std::string> texts = {
        "((A:0.1,B:0.2)95:0.3,C:0.4);",
        "(A,B,C,D)7:1;",
        ";",
        "((A,B));",
        "(A,B)x(C);",
        "A:1,B:2;",
        "((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)80);((Choano-a,Fungi-f)70,M);",
        "(:1,(,)80/95:2e3,'q r':-0.5)",
        "((a,b)0.97:1e400,(c,d)nan:inf);",
        "(x)(y),(z;"};
    for (int i = 0; i < 300; ++i)
        texts.push_back(random_text(rng, 2 + i % 40));
    // Long enough that the commas are counted in many blocks, and a comma in every byte lane.
    texts.push_back(random_text(rng, 3000));
    texts.push_back("(" + std::string(9000, ',') + ");");
    // More '(' than two nodes per comma hold: no well-formed tree, read as the model reads it.
    texts.push_back(std::string(200, '(') + "Fung1,Fungi-2),C);");
    texts.push_back("0\n" + std::string(90, '(') + "A,B),C);\ni-1,Fungi-2),C);");
    // The same, the room running out at the fold of a node's third or later child.
    texts.push_back(std::string(67, '(') + "A,B,C,D,E,F,G,H,I,J);");
    texts.push_back(std::string(69, '(') + "A,B,C,D,E,F,G,H,I,J,K" + std::string(69, ')') + ";");
    // Names too long for a node to tell their size: kept as copies.
    const std::string long_name(CompactRef::kLongName + 5, 'x');
    texts.push_back("((" + long_name + ":1,B:2)90:1,(C," + long_name + "y)80);");
    texts.push_back("(A:1,(" + long_name + "," + long_name + ")x);");
    // A compact tree keeps its numbers as text until they are asked for, or until its names are
    // packed: every form must read as the model reads it at once, both before and after.
    const std::string digits(300, '7');
    for (const char* numbers :
         {"((A:1e-3,B:-2.5E+2,C:+.5,D:-0)1e2:-0.0,(E:0x1A,F:1e,G:1e+,H:.)56/0.98:1e400)9:1;",
          "((A:nan,B:inf,C:-inf)inf:nan,(D:4.9e-324,E:1e-400)-1e400:1.5e-320)x:2;",
          "((A:1:2,B::3,C:0.1abc)4:5:6,(D: 7,E:\t8)  3 :1,F:0.1 )7 :8;",
          "((12,3.5e1,-4)42,(x,0.12345678901234567890123:0.98765432109876543210)/7:1)0.5;",
          "((A,B):,(C,D):-,(E,F)+)-:."}) {
        texts.push_back(numbers);
    }
    texts.push_back("(A:0." + digits + ",B:" + digits + "e-300)" + digits + ":1e-" + digits + ";");
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const auto model = read(text, false);
        for (const bool as_text : {true, false}) {
            const auto compact = read(text, true, as_text);
            ASSERT_EQ(model == nullptr, compact == nullptr);
            if (model == nullptr) break;
            const std::string want = dump(root_of(*model));
            EXPECT_EQ(dump(root_of(*compact)), want) << as_text;
            EXPECT_EQ(compact->root_children, model->root_children);
            compact->compact_nodes->pack_names();
            EXPECT_EQ(dump(root_of(*compact)), want) << as_text << " after packing";
        }
    }
    // A text at least as long as the threshold is read compact; a shorter one, as the model.
    const std::string& text = texts[0];
    for (const std::size_t from : {text.size() - 1, text.size(), text.size() + 1}) {
        ReadOptions options;
        options.compact_from = from;
        TreeReader reader(text, options);
        EXPECT_EQ(root_of(*reader.next()->tree).compact(), from <= text.size()) << from;
    }
}

TEST(CompactTree, StepsAnswerAsOnTheModelAndRootingsUndo) {
    std::mt19937 rng(7);
    const char* const kRoots[] = {"", "midpoint", "Metazoa,midpoint", "Fungi-3"};
    for (int i = 0; i < 400; ++i) {
        const std::string text = random_text(rng, 3 + i % 30);
        SCOPED_TRACE(text);
        AnalysisSettings settings;
        settings.prefix = i % 2 ? "Choano" : "Fungi";
        settings.max_outliers = i % 3;
        settings.purity = i % 5 == 0 ? 0.8 : kWholePurity;
        if (*kRoots[i % 4] != '\0') {
            ASSERT_TRUE(parse_root_list(kRoots[i % 4], settings.root));
        }
        const Analysis analysis(settings);
        AnalysisNeeds needs;
        needs.outliers = true;
        needs.picture = i % 2 == 0;
        auto model = read(text, false), compact = read(text, true);
        const std::string as_read = dump(root_of(*compact));
        TreeChanges model_changes(*model), compact_changes(*compact);
        const AnalysisResult want = analyse(*model, analysis, needs, &model_changes);
        const AnalysisResult got = analyse(*compact, analysis, needs, &compact_changes);
        EXPECT_EQ(got.status, want.status);
        EXPECT_EQ(got.sisters, want.sisters);
        EXPECT_EQ(got.support.value, want.support.value);
        EXPECT_EQ(got.support.applies, want.support.applies);
        EXPECT_EQ(got.root, want.root);
        EXPECT_EQ(got.strays, want.strays);
        EXPECT_EQ(got.outliers.names, want.outliers.names);
        EXPECT_EQ(got.target_leaves, want.target_leaves);
        EXPECT_EQ(dump(root_of(*compact)), dump(root_of(*model)));
        compact_changes.undo();
        EXPECT_EQ(dump(root_of(*compact)), as_read);
    }
}

// Before a rooting makes its records, a tree read in one pass packs its names at the front of the
// text and lends the rest to the records; one the general reader made (children before their
// subtrees) keeps it all. Either way every name reads as before, and strays come in file order.
TEST(CompactTree, NamesPackedBeforeRootingsReadTheSame) {
    const std::string long_name(CompactRef::kLongName + 5, 'x');
    const struct {
        std::string text;
        bool in_order;
    } cases[] = {
        {"((Choano-a:1,Fungi-b:2)90:1,(Choano-c:1,(" + long_name + ",Fungi-d:9)5:1)80:3);", true},
        {"((Choano-a,(Choano-b,Fungi-s)),(Metazoa-m,((Fungi-f,Fungi-g),Fungi-h))):0;", true},
        {"((Choano-a,(Choano-b,Fungi-s))x(q),(Metazoa-m,((Fungi-f,Fungi-g),Fungi-h)));", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto model = read(c.text, false), compact = read(c.text, true);
        const CompactStore& store = *compact->compact_nodes;
        EXPECT_EQ(store.leaves_in_text_order(), c.in_order);
        const std::string as_read = dump(root_of(*compact));
        std::size_t names = 0;
        preorder(root_of(*compact), [&](NodeRef n) {
            if (n.is_leaf() && n.name().size() < CompactRef::kLongName) names += n.name().size();
        });
        { UnrootedTree view(*compact); }
        EXPECT_EQ(dump(root_of(*compact)), as_read);
        // The rest of the text is lent to the records (the view took it back).
        const SpareRoom spare = compact->compact_nodes->lend_spare_text();
        EXPECT_EQ(spare.size, c.in_order ? c.text.size() - names : 0);
        compact->compact_nodes->take_back_spare_text();
        // Strays named after a midpoint rooting, in the order of the file either way.
        AnalysisSettings settings;
        settings.prefix = "Metazoa";
        settings.purity = 0.6;
        ASSERT_TRUE(parse_root_list("midpoint", settings.root));
        const Analysis analysis(settings);
        const AnalysisResult want = analyse(*model, analysis, {});
        const AnalysisResult got = analyse(*compact, analysis, {});
        EXPECT_EQ(got.sisters, want.sisters);
        EXPECT_EQ(got.strays, want.strays);
    }
}

}  // namespace

}  // namespace tavrin
