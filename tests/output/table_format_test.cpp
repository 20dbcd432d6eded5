// The table's own format: its header and the layouts readers accept, the status names, and
// fields that come back as they were written whatever bytes they hold.
#include "output/table_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tavrin {

namespace {

TEST(TableFormat, HeaderAndTheLayoutsReadersAccept) {
    EXPECT_EQ(table_header(),
              "file\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\trerooted\ttarget_leaves\t"
              "outliers\toutlier_leaves\troot\tstrays\troot_strays\tlabel");
    const std::optional<TableLayout> whole = TableLayout::of_header(table_header());
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->width(), kColumnCount);
    EXPECT_EQ(whole->reach(), kColumnCount);

    // Tables that end earlier: at outlier_leaves, root or strays.
    const std::string& header = table_header();
    for (const Column last :
         {Column::kOutlierLeaves, Column::kRoot, Column::kStrays, Column::kRootStrays}) {
        const std::size_t end = header.find(std::string("\t") + column_name(last)) + 1 +
                                std::string(column_name(last)).size();
        const std::optional<TableLayout> shorter = TableLayout::of_header(header.substr(0, end));
        ASSERT_TRUE(shorter.has_value()) << column_name(last);
        EXPECT_EQ(shorter->width(), static_cast<std::size_t>(last) + 1);
        EXPECT_EQ(shorter->reach(), shorter->width());
    }

    // A table written before root_strays: its label follows strays, and is read as the label.
    const std::string before_root_strays =
        "file\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\trerooted\ttarget_leaves\t"
        "outliers\toutlier_leaves\troot\tstrays\tlabel";
    const std::optional<TableLayout> older = TableLayout::of_header(before_root_strays);
    ASSERT_TRUE(older.has_value());
    EXPECT_EQ(older->width(), kColumnCount - 1);
    EXPECT_EQ(older->reach(), kColumnCount);
    EXPECT_TRUE(older->without_root_strays());
    TableFields older_row;
    EXPECT_EQ(older_row.split("t.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t\tgiven\tV-c\tiq", &*older),
              kColumnCount - 1);
    EXPECT_EQ(older_row[Column::kStrays], "V-c");
    EXPECT_EQ(older_row[Column::kRootStrays], "");
    EXPECT_EQ(older_row[Column::kLabel], "iq");
    EXPECT_FALSE(TableLayout::of_header(before_root_strays + "\troot_strays").has_value());

    const std::vector<std::string> not_headers = {
        "",       header + "\t", header.substr(0, 40), "file\ttree\ttarget\tstatus",
        "t.nwk:", header + " "};
    for (const std::string& line : not_headers) {
        EXPECT_FALSE(TableLayout::of_header(line).has_value()) << line;
    }
}

TEST(TableFormat, EveryStatusIsNamedAndReadBack) {
    for (std::size_t i = 0; i < kTreeStatusCount; ++i) {
        const auto status = static_cast<TreeStatus>(i);
        EXPECT_EQ(status_named(status_name(status)), status);
    }
    EXPECT_FALSE(status_named("Sisters").has_value());
    EXPECT_FALSE(status_named("").has_value());
    EXPECT_EQ(status_names_listed(),
              "sisters, unnamed, not-a-clade, no-target, whole-tree, malformed, ambiguous, "
              "no-root or unreadable");
}

// Every byte a name may hold comes back from a row as it went in, lists included.
TEST(TableFormat, FieldsComeBackAsWritten) {
    const std::vector<std::string> names = {"a\tb", "c\nd", "e\\f", "g,h", "\\t", ",", ""};
    const std::vector<std::string> sisters = {"Meta\\zoa\t1", "F,ungi"};
    const std::vector<std::string> leaves = {"x,y", "tab\there\\", "z"};
    const std::vector<std::string> strays = {"Viridi-c", "a,b"};
    TableRow row;
    row.file = "dir\\x\ty.nwk";
    row.tree = 3;
    row.target = "Ch\\w\n";
    row.status = TreeStatus::kSisters;
    row.sisters = &sisters;
    row.support = SupportCell{87.5, true};
    row.rerooted = true;
    row.target_leaves = 4;
    row.outliers = 3;
    row.outlier_leaves = &leaves;
    row.root = "Bac\tteria";
    row.strays = &strays;
    const std::vector<std::string> root_strays = {"Fungi-c", "o,g"};
    row.root_strays = &root_strays;
    row.label = "iq\\tree";
    std::ostringstream out;
    write_table_row(out, row);
    std::string line = out.str();
    ASSERT_EQ(line.back(), '\n');
    line.pop_back();
    EXPECT_EQ(line.find('\n'), std::string::npos);

    TableFields fields;
    ASSERT_EQ(fields.split(line), kColumnCount);
    const auto field = [&fields](Column column) {
        std::string text;
        EXPECT_TRUE(unescape_field(fields[column], text)) << fields[column];
        return text;
    };
    EXPECT_EQ(field(Column::kFile), row.file);
    EXPECT_EQ(field(Column::kTree), "3");
    EXPECT_EQ(field(Column::kTarget), row.target);
    EXPECT_EQ(field(Column::kStatus), "sisters");
    EXPECT_EQ(field(Column::kSister1), sisters[0]);
    EXPECT_EQ(field(Column::kSister2), sisters[1]);
    EXPECT_EQ(field(Column::kSupport), "87.5");
    EXPECT_EQ(field(Column::kRerooted), "1");
    EXPECT_EQ(field(Column::kRoot), row.root);
    EXPECT_EQ(fields[Column::kOutlierLeaves], "x\\,y,tab\\there\\\\,z");
    EXPECT_EQ(fields[Column::kStrays], "Viridi-c,a\\,b");
    EXPECT_EQ(fields[Column::kRootStrays], "Fungi-c,o\\,g");
    EXPECT_EQ(field(Column::kLabel), row.label);

    for (const std::string& name : names) {
        std::string back;
        ASSERT_TRUE(unescape_field(escape_field(name), back)) << name;
        EXPECT_EQ(back, name);
    }
}

// A support is written as a stream in its default state writes it: the fractions of Bayesian
// and fast-likelihood programs, percentages, values next to a decade or a rounding tie, and the
// values left to the C library (tiny, huge, negative, zero, not a number).
TEST(TableFormat, SupportsAreWrittenAsAStreamWritesThem) {
    std::vector<double> values = {0,        -0.0,      -0.5,      1e-5,     9.99995e-5, 1e-4,
                                  0.1,      0.3,       0.879,     1.000005, 2.5e-4,     99.95,
                                  999999.5, 1e6,       1.5e7,     1.0 / 3,  2.0 / 3,    NAN,
                                  INFINITY, 0.1234565, 0.9999995, 9.999995, 12345.65};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-5, 7);
    for (int k = 0; k <= 100000; ++k)
        values.insert(values.end(), {k / 100000.0, k / 1000.0, std::pow(10.0, exponent(random))});
    for (double decade = 1e-4; decade < 1e7; decade *= 10) {
        for (const double near : {decade, decade * 0.9999995, decade * 1.0000005})
            values.insert(values.end(),
                          {std::nextafter(near, 0.0), near, std::nextafter(near, 1e9)});
    }
    for (const double value : values) {
        std::ostringstream expected, written;
        expected << value;
        write_support(written, SupportCell{value, true});
        ASSERT_EQ(written.str(), expected.str()) << std::hexfloat << value;
    }
}

TEST(TableFormat, UnknownEscapesAreRefused) {
    std::string out;
    ASSERT_TRUE(unescape_field("\\\\t", out));  // an escaped backslash, then a t
    EXPECT_EQ(out, "\\t");
    for (const char* bad : {"a\\", "\\x", "a\\ b", "\\\\\\", "\\x1", "\\x1g", "\\xg1"}) {
        EXPECT_FALSE(unescape_field(bad, out)) << bad;
    }
}

// Names read as standard Newick may hold any byte: with `controls`, every control byte but tab
// and line break (which keep their own escapes) is written \xHH, and each comes back.
TEST(TableFormat, ControlBytesAreWrittenInHexAndReadBack) {
    std::string every;
    for (int byte = 0; byte < 0x20; ++byte)
        every += static_cast<char>(byte);
    every += "\x7f\x80\xff,\\x41";
    const std::string escaped = escape_field(every, true);
    EXPECT_EQ(escaped.substr(0, 40), "\\x00\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08\\t\\n");
    EXPECT_EQ(escaped.substr(escaped.size() - 16), "\\x1f\\x7f\x80\xff,\\\\x41");
    for (const char c : escaped) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte >= 0x20 && byte != 0x7f) << "a raw control byte: " << int{byte};
    }
    std::string back;
    ASSERT_TRUE(unescape_field(escaped, back));
    EXPECT_EQ(back, every);
    // Without it, only tab, line break and backslash are escaped, as the classic table has it.
    EXPECT_EQ(escape_field("a\rb\x1b\tc", false), "a\rb\x1b\\tc");

    const std::vector<std::string> leaves = {"Meta\x1bzoa,x"};
    TableRow row;
    row.file = "t\r.nwk";
    row.target = "Cho\x07";
    row.status = TreeStatus::kSisters;
    row.sisters = &leaves;
    row.outlier_leaves = &leaves;
    row.controls = true;
    std::ostringstream out;
    write_table_row(out, row);
    EXPECT_EQ(out.str(),
              "t\\x0d.nwk\t1\tCho\\x07\tsisters\tMeta\\x1bzoa,x\t\tn/a\t\t\t\t"
              "Meta\\x1bzoa\\,x\t\t\t\t\n");
}

// A row of a tree that was not read holds its key and status only.
TEST(TableFormat, RowOfATreeNotRead) {
    TableRow row;
    row.file = "t3.nwk";
    row.target = "Choano";
    row.status = TreeStatus::kUnreadable;
    std::ostringstream out;
    write_table_row(out, row);
    EXPECT_EQ(out.str(), "t3.nwk\t1\tChoano\tunreadable\t\t\t\t\t\t\t\t\t\t\t\n");
}

// The rows of a file of many trees go into one text, and the key cells kept for the targets of a
// tree stand for the file and tree: the text grows in a few steps (a reserve that grew it by one
// row at a time, as some libraries do, would copy it again for nearly every row), and a row with
// its key cells kept reads as one written from its file and tree.
TEST(TableFormat, ManyRowsGrowOneTextInFewSteps) {
    TableRow row;
    row.file = "genes/g001.nwk";
    row.tree = 7;
    row.target = "Choano";
    row.status = TreeStatus::kUnreadable;
    std::string whole, keyed, key;
    append_row_key(key, row.file, row.tree, false);
    std::size_t growths = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::size_t capacity = whole.capacity();
        append_table_row(whole, row);
        growths += whole.capacity() != capacity;
    }
    EXPECT_LT(growths, 40u);
    row.key_cells = key;
    row.file = "other";
    append_table_row(keyed, row);
    EXPECT_EQ(keyed, whole.substr(0, keyed.size()));
}

}  // namespace

}  // namespace tavrin
