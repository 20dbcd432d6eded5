// Pictures true to the tree analysed, whatever became of it: every leaf drawn exactly once (those
// set aside too, hung back where they stood), the clades examined for a sister marked even when
// no name fits them, supports as they read, labels inside the picture, a scale bar, and the
// picture's recorded source.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "draw/layout.h"
#include "draw/measure.h"
#include "draw/picture.h"
#include "draw/picture_file.h"
#include "support/analysis_fixtures.h"
#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

struct Case {
    const char* tree;
    const char* prefix;
    TreeStatus status;
    std::size_t max_outliers = 0;
    const char* root = "";
};

struct Drawn {
    std::unique_ptr<Phylogeny> tree;
    AnalysisResult result;
    std::string svg;
};

Drawn draw(const Case& c, std::string_view label = {}) {
    AnalysisSettings settings;
    settings.prefix = c.prefix;
    settings.max_outliers = c.max_outliers;
    if (*c.root != '\0') settings.root = analysis_fixtures::root_list_of(c.root);
    Drawn drawn;
    drawn.tree = std::make_unique<Phylogeny>(c.tree);
    AnalysisNeeds needs;
    needs.picture = true;
    needs.outliers = true;
    drawn.result = analyse(*drawn.tree, settings, needs);
    const PictureSource source{"data/g002.nwk", 1, false, settings.prefix, label};
    drawn.svg = draw_picture(*drawn.tree, drawn.result, settings, source, PictureIdentity(source));
    return drawn;
}

// The text of each <text> element whose class is `role`.
std::vector<std::string> texts_of(const std::string& svg, const std::string& role) {
    std::vector<std::string> texts;
    const std::string open = "class=\"" + role + "\">";
    for (std::size_t at = svg.find("<text "); at != std::string::npos;
         at = svg.find("<text ", at + 1)) {
        const std::size_t end = svg.find('>', at);
        if (svg.compare(end + 1 - open.size(), open.size(), open) != 0) continue;
        texts.push_back(svg.substr(end + 1, svg.find("</text>", end) - end - 1));
    }
    return texts;
}

std::multiset<std::string> leaves_of(const Phylogeny_Node* root) {
    std::multiset<std::string> names;
    preorder(root, [&](const Phylogeny_Node* n) {
        if (n->is_leaf) names.insert(n->name);
    });
    return names;
}

// One tree for every status, and for the parent fold and leaves set aside: each leaf of the
// tree as read is drawn once, those of the tree analysed with their roles, those set aside as
// `aside`.
TEST(PictureTruth, EveryLeafOnceWhateverTheStatus) {
    const Case cases[] = {
        {"((Choano-a:1,Choano-b:1)90:1,(Metazoa-m:1,Fungi-f:1)80:1);", "Choano",
         TreeStatus::kSisters},
        {"((P-a:1,P-b:1):1,(N-a:1,(M-a:1,C-a:1):1):1);", "N", TreeStatus::kUnnamed},
        {"((((Choano-a,Choano-b)90,Fungi-f)60,Fungi-g)70,Fungi-h);", "Choano",
         TreeStatus::kSisters},
        {"(((Choano-a,Fungi-f),Metazoa-m),(Choano-b,Fungi-g));", "Choano", TreeStatus::kNotAClade},
        {"((Fungi-f,Fungi-g),Metazoa-m);", "Choano", TreeStatus::kNoTarget},
        {"((Choano-a,Choano-b),Choano-c);", "Choano", TreeStatus::kWholeTree},
        {"((F-1,M-1),(F-2,M-2));", "F", TreeStatus::kAmbiguous, 1},
        {"((Choano-a,Choano-b),(Metazoa-m,Fungi-f));", "Choano", TreeStatus::kNoRoot, 0, "Plantae"},
        {"((F-1:1,(F-2:1,M-1:2):1):1,((M-2:1,M-4:3):1,(M-3:1,F-3:0.5):1):1);", "F",
         TreeStatus::kSisters, 2, "midpoint"},
        {"((F-1:1,(F-2:1,M-1:2):1):1,(M-2:1,M-3:1):1);", "F", TreeStatus::kSisters, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tree);
        const Drawn d = draw(c);
        ASSERT_EQ(d.result.status, c.status);
        std::multiset<std::string> drawn;
        for (const char* role : {"target", "sister1", "sister2", "other"}) {
            for (const std::string& text : texts_of(d.svg, role))
                drawn.insert(text);
        }
        EXPECT_EQ(drawn, leaves_of(d.tree->root));
        std::multiset<std::string> aside;
        for (const std::string& text : texts_of(d.svg, "aside"))
            aside.insert(text);
        std::multiset<std::string> set_aside;
        if (d.result.set_aside)
            set_aside.insert(d.result.outliers.names.begin(), d.result.outliers.names.end());
        EXPECT_EQ(aside, set_aside);
    }
}

// The parent fold once took the sibling out of the picture: the unnamed minimal case draws all
// five leaves, the clades examined marked and the caption saying no name fits.
TEST(PictureTruth, UnnamedTreeMarksTheCladesExamined) {
    const Drawn d =
        draw({"((P-a:1,P-b:1):1,(N-a:1,(M-a:1,C-a:1):1):1);", "N", TreeStatus::kUnnamed});
    EXPECT_EQ(texts_of(d.svg, "target"), std::vector<std::string>{"N-a"});
    EXPECT_EQ(texts_of(d.svg, "sister1"), (std::vector<std::string>{"M-a", "C-a"}));
    EXPECT_EQ(texts_of(d.svg, "sister2"), (std::vector<std::string>{"P-a", "P-b"}));
    EXPECT_NE(d.svg.find("Sisters: no name fits"), std::string::npos);
    EXPECT_NE(d.svg.find(">first sister: no name fits<"), std::string::npos);
    EXPECT_NE(d.svg.find(">second sister: no name fits<"), std::string::npos);
    EXPECT_EQ(d.svg.find("Support:"), std::string::npos);
}

// A sibling that no name fits, whose place the walk's name took: it is the second clade
// examined, and the caption says so beside the one name.
TEST(PictureTruth, SiblingWithoutANameStaysMarked) {
    const Drawn d =
        draw({"((((Choano-a:1,Choano-b:1)90:1,(Fungi-f:1,Rhodo-r:1)40:1)80:1,"
              "Fungi-g:1)70:1,Fungi-h:1);",
              "Choano", TreeStatus::kSisters});
    EXPECT_EQ(d.result.sisters, std::vector<std::string>{"Fungi"});
    EXPECT_EQ(texts_of(d.svg, "sister1"), (std::vector<std::string>{"Fungi-g", "Fungi-h"}));
    EXPECT_EQ(texts_of(d.svg, "sister2"), (std::vector<std::string>{"Fungi-f", "Rhodo-r"}));
    EXPECT_NE(d.svg.find("Sisters: Fungi (second: no name fits) \xC2\xB7 Support: 80"),
              std::string::npos);
}

// The numbers the groups of `pattern` catch at its first match in `svg`; none without a match.
std::vector<double> numbers_at(const std::string& svg, const std::string& pattern) {
    std::smatch found;
    std::vector<double> numbers;
    if (!std::regex_search(svg, found, std::regex(pattern))) return numbers;
    for (std::size_t k = 1; k < found.size(); ++k)
        numbers.push_back(std::stod(found[k]));
    return numbers;
}

// A leaf set aside hangs from the branch where it stood, in the tree as rooted for the answer:
// M-1 stood halfway up F-2's merged branch (1 of 2), and its own branch is 2 long.
TEST(PictureTruth, LeafSetAsideHangsWhereItStood) {
    const Drawn d =
        draw({"((F-1:1,(F-2:1,M-1:2):1):1,(M-2:1,M-3:1):1);", "F", TreeStatus::kSisters, 1});
    ASSERT_TRUE(d.result.set_aside);
    ASSERT_EQ(d.result.aside.size(), 1u);
    const std::vector<double> stem =
        numbers_at(d.svg, "class=\"e-aside\" d=\"M([0-9.]+) ([0-9.]+)V([0-9.]+)H([0-9.]+)\"");
    ASSERT_EQ(stem.size(), 4u);
    // Root at x 20, one unit 160 pixels (the tree is 4 long, 640 pixels): F-2's branch runs
    // from its parent at 180 to 500, the stem leaves it at 340 and ends at 660.
    EXPECT_DOUBLE_EQ(stem[0], 340);
    EXPECT_DOUBLE_EQ(stem[3], 660);
    EXPECT_EQ(numbers_at(d.svg, "<text x=\"([0-9.]+)\" y=\"[0-9.]+\" class=\"aside\">"),
              std::vector<double>{664});
    EXPECT_NE(d.svg.find("Set aside: M-1"), std::string::npos);
    EXPECT_NE(d.svg.find(">set aside, where each stood<"), std::string::npos);
}

// A stray keeps the class of the clade it stands in, crossed and struck through, listed in the
// caption, with a legend entry; the picture draws every leaf once all the same.
TEST(PictureTruth, StraysMarkedInTheirClade) {
    analysis_fixtures::TempFile groups(
        "Holozoa Metazoa\nHolozoa Choano\nOpisthokonta Holozoa\nOpisthokonta Fungi\n"
        "Eukaryota Opisthokonta\nEukaryota Viridi\n");
    AnalysisSettings settings;
    settings.prefix = "Choano";
    settings.purity = 0.8;
    ASSERT_EQ(settings.groups.load(groups.path()), GroupRelations::LoadResult::kLoaded);
    Phylogeny tree(
        "((((Choano-x:1,Choano-y:1)90:1,(Metazoa-a:1,(Metazoa-b:1,(Viridi-c:1,(Metazoa-d:1,"
        "Metazoa-e:1)80:1)70:1)60:1)50:1)40:1,Fungi-f:1)30:1,Viridi-g:1);");
    AnalysisNeeds needs;
    needs.picture = true;
    const AnalysisResult result = analyse(tree, settings, needs);
    ASSERT_EQ(result.sisters, std::vector<std::string>{"Metazoa"});
    ASSERT_EQ(result.strays, std::vector<std::string>{"Viridi-c"});
    const PictureSource source{"p.nwk", 1, false, "Choano", ""};
    const std::string svg = draw_picture(tree, result, settings, source, PictureIdentity(source));
    EXPECT_EQ(
        texts_of(svg, "sister1"),
        (std::vector<std::string>{"Metazoa-a", "Metazoa-b", "Viridi-c", "Metazoa-d", "Metazoa-e"}));
    EXPECT_NE(svg.find("style=\"text-decoration:line-through\" class=\"sister1\">Viridi-c<"),
              std::string::npos);
    EXPECT_EQ(svg.find("line-through\" class=\"sister1\">Metazoa"), std::string::npos);
    EXPECT_EQ(numbers_at(svg,
                         "<path class=\"e-sister1\" d=\"M([0-9.]+) [0-9.]+L([0-9.]+) "
                         "[0-9.]+M[0-9.]+ [0-9.]+L[0-9.]+ [0-9.]+\"/>")
                  .size(),
              2u);  // the cross
    EXPECT_NE(svg.find("<tspan x=\"20\" y=\"78\">Strays: Viridi-c</tspan>"), std::string::npos);
    EXPECT_NE(svg.find("class=\"sister1\">stray</tspan>"), std::string::npos);
}

// Supports as they read: the shortest decimal, never six digits; bold at the node the reported
// one was read from.
TEST(PictureTruth, SupportsAsTheyRead) {
    const Drawn d =
        draw({"(((Choano-a:1,Choano-b:1)0.12345678:1,Metazoa-m:1)0.935:1,"
              "(Fungi-f:1,Fungi-g:1)1.00000000e+00:1);",
              "Choano", TreeStatus::kSisters});
    EXPECT_NE(d.svg.find(">0.12345678</tspan>"), std::string::npos);
    EXPECT_NE(d.svg.find("class=\"reported\">0.935</tspan>"), std::string::npos);
    EXPECT_NE(d.svg.find(">1</tspan>"), std::string::npos);
    EXPECT_NE(d.svg.find("Support: 0.935"), std::string::npos);
    EXPECT_EQ(d.svg.find("0.123457"), std::string::npos);
}

// Every support ends inside the picture on the left, every tip text inside it on the right,
// however long the numbers and names.
TEST(PictureTruth, NothingClipped) {
    const std::string long_name = "Fungi-" + std::string(150, 'W');
    const Drawn d = draw({("((Choano-a:0.001,Choano-b:1)0.123456789012:0.001,(" + long_name +
                           ":1,Metazoa-m:1)99.987654321:0.001)12345.678901:0;")
                              .c_str(),
                          "Choano", TreeStatus::kSisters});
    const std::regex width_of("<svg [^>]*width=\"([0-9.]+)\"");
    std::smatch w;
    ASSERT_TRUE(std::regex_search(d.svg, w, width_of));
    const double width = std::stod(w[1]);
    const std::regex span("<tspan x=\"([0-9.]+)\" y=\"[0-9.]+\" text-anchor=\"end\"[^>]*>([^<]*)<");
    for (auto it = std::sregex_iterator(d.svg.begin(), d.svg.end(), span);
         it != std::sregex_iterator(); ++it) {
        EXPECT_GE(std::stod((*it)[1]) - text_width((*it)[2].str(), 9, true), 0) << (*it)[2];
    }
    const std::regex tip("<text x=\"([0-9.]+)\" y=\"[0-9.]+\" class=\"([a-z0-9]+)\">([^<]*)<");
    for (auto it = std::sregex_iterator(d.svg.begin(), d.svg.end(), tip);
         it != std::sregex_iterator(); ++it) {
        const bool bold = (*it)[2] == "target";
        EXPECT_LE(std::stod((*it)[1]) + text_width((*it)[3].str(), 12, bold), width) << (*it)[3];
    }
}

TEST(PictureTruth, ScaleBarOnlyWithLengths) {
    const Drawn with = draw({"((Choano-a:0.2,Choano-b:0.3):0.1,(Fungi-f:0.4,Fungi-g:0.1):0.2);",
                             "Choano", TreeStatus::kSisters});
    EXPECT_NE(with.svg.find(">branch length 0.1</text>"), std::string::npos);
    const Drawn without =
        draw({"((Choano-a,Choano-b),(Fungi-f,Fungi-g));", "Choano", TreeStatus::kSisters});
    EXPECT_EQ(without.svg.find("branch length"), std::string::npos);
}

// The source is recorded as the row key, with the table's escapes then XML's; a title names
// the tree.
TEST(PictureTruth, RecordsItsSourceAndHasATitle) {
    const Drawn d = draw(
        {"((Choano-a,Choano-b),(Fungi-f,Fungi-g));", "Choano", TreeStatus::kSisters}, "iqtree");
    EXPECT_NE(d.svg.find("<metadata>data/g002.nwk\t1\tChoano\tiqtree</metadata>"),
              std::string::npos);
    EXPECT_NE(d.svg.find("<title>data/g002.nwk \xC2\xB7 Label: iqtree. Target: Choano"),
              std::string::npos);
    EXPECT_EQ(recorded_source(d.svg),
              std::optional<std::string_view>("data/g002.nwk\t1\tChoano\tiqtree"));
    EXPECT_EQ(recorded_source("<svg><title>t</title></svg>"), std::nullopt);
}

TEST(Measure, ShortestDecimalReadsBackTheSame) {
    const std::map<double, std::string> expected = {{0.935, "0.935"},
                                                    {100, "100"},
                                                    {0.12345678, "0.12345678"},
                                                    {1.0, "1"},
                                                    {-2.5, "-2.5"},
                                                    {0, "0"},
                                                    {1e-8, "1e-08"},
                                                    {1.5e-7, "0.00000015"},
                                                    {123456789012.0, "123456789012"},
                                                    {2.5e21, "2.5e+21"},
                                                    {0.1 + 0.2, "0.30000000000000004"}};
    for (const auto& [value, text] : expected)
        EXPECT_EQ(shortest_decimal(value), text) << text;
    EXPECT_EQ(shortest_decimal(1.0 / 0.0), "inf");
}

TEST(Measure, ScaleLengthIsRound) {
    EXPECT_DOUBLE_EQ(scale_length(3), 0.5);
    EXPECT_DOUBLE_EQ(scale_length(1), 0.2);
    EXPECT_DOUBLE_EQ(scale_length(0.26), 0.05);
    EXPECT_DOUBLE_EQ(scale_length(1000), 200);
    EXPECT_EQ(scale_length(0), 0);
    EXPECT_GT(text_width("WWW", 12), text_width("iii", 12));
    EXPECT_DOUBLE_EQ(text_width("\xC3\xA9\xC3\xA9", 10), 20);  // outside ASCII: an em each
}

}  // namespace

}  // namespace tavrin
