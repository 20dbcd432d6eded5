#include "summary/html_page.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string_view>

#include "draw/xml_text.h"
#include "output/escapes.h"
#include "platform/files.h"
#include "summary/table.h"

namespace tavrin::summary {

namespace {

constexpr const char* kStyle =
    R"(body{font-family:sans-serif;margin:24px;color:#222;overflow-wrap:anywhere}
table{border-collapse:collapse;margin:8px 0 20px}
th,td{border:1px solid #d0d7de;padding:3px 8px;text-align:left;vertical-align:top;overflow-wrap:anywhere}
.wide{overflow-x:auto;max-width:100%}.wide table{margin-top:0}
#trees td,#trees th{overflow-wrap:normal}
#study td{cursor:pointer;min-width:6em}#study .sis{font-weight:bold}
.warning{color:#8a4b00;background:#fff4e0;padding:4px 8px;margin:4px 0}
th{background:#f3f5f7}td.n{text-align:right}
.closing{font-weight:bold}
.st{font-weight:bold;white-space:nowrap}
.legend{list-style:none;padding:0;margin:8px 0}.legend li{margin:3px 0}
.legend .st{display:inline-block;min-width:7em;padding:1px 6px;margin-right:8px}
form{margin:8px 0}select{margin-right:16px}button{margin-left:8px}
.group{display:flex;flex-wrap:wrap;align-items:flex-start;column-gap:24px}
.group table{flex:0 1 auto;min-width:0;max-width:100%}
figure{margin:8px 0}.group figure{flex:1 1 420px;min-width:0}.group svg{max-width:100%;height:auto}
#tree-data{font-size:12px}
)";

// How each status looks, in the order of TreeStatus: a text colour dark enough on its light
// background (or white on a dark one), and what the status means.
struct StatusLook {
    const char* text;
    const char* background;
    const char* meaning;
};
constexpr StatusLook kLooks[] = {
    {"#1a6b32", "#dcf5e3", "at least one sister is named"},
    {"#7a5200", "#fff1c7", "the target clade was found, but no sister could be named"},
    {"#b3141f", "#ffe1df", "some leaves are target leaves, but they form no clade"},
    {"#525a63", "#eceff1", "no leaf is a target leaf"},
    {"#6034b8", "#ece4ff", "every leaf is a target leaf: the target is the whole tree"},
    {"#ffffff", "#5c0a10", "the tree's text is not a tree"},
    {"#a33f00", "#ffe6d1", "not a clade, and several smallest sets of outliers explain it"},
    {"#005f66", "#d6f3f5", "no entry of --root applies: the tree was not analysed"},
    {"#ffffff", "#3d434a", "the tree file could not be opened or read"},
};
static_assert(std::size(kLooks) == kTreeStatusCount, "one look per status");

// The statuses in the order the page lists them: a tree with sisters, then the reasons.
std::vector<TreeStatus> statuses_listed() {
    std::vector<TreeStatus> statuses{TreeStatus::kSisters};
    statuses.insert(statuses.end(), std::begin(kReasonOrder), std::end(kReasonOrder));
    return statuses;
}

std::string status_style() {
    std::string css;
    for (const TreeStatus status : statuses_listed()) {
        const StatusLook& look = kLooks[static_cast<std::size_t>(status)];
        css += std::string(".st-") + status_name(status) + "{color:" + look.text +
               ";background:" + look.background + "}\n";
    }
    return css;
}

// The filter, and the page of rows shown: the rows are the text of #tree-data, one per line,
// fields separated by tabs, under a line of column names. Each menu filters the columns its
// data-columns names and is named in the address by its name; menus without options get the
// values of their columns.
constexpr const char* kScript = R"((function () {
  var data = document.getElementById('tree-data');
  var table = document.getElementById('trees');
  var shown = document.getElementById('shown');
  var previous = document.getElementById('previous');
  var next = document.getElementById('next');
  var lines = data.textContent.split('\n');
  var head = lines[0].split('\t');
  var rows = [];
  for (var i = 1; i < lines.length; i++) if (lines[i] !== '') rows.push(lines[i].split('\t'));
  var statusAt = head.indexOf(table.getAttribute('data-status'));
  var pictureAt = head.indexOf(table.getAttribute('data-picture'));
  var folder = table.getAttribute('data-folder') || '';
  var headRow = table.tHead.insertRow();
  head.forEach(function (name) {
    var th = document.createElement('th');
    th.textContent = name;
    headRow.appendChild(th);
  });
  var filters = [];
  var selects = document.querySelectorAll('#filter select');
  Array.prototype.forEach.call(selects, function (select) {
    var at = select.getAttribute('data-columns').split(' ').map(function (name) {
      return head.indexOf(name);
    }).filter(function (index) { return index >= 0; });
    filters.push({select: select, key: select.name, at: at});
    if (select.options.length > 1) return;
    var seen = Object.create(null);
    rows.forEach(function (row) {
      at.forEach(function (index) { if (row[index]) seen[row[index]] = true; });
    });
    Object.keys(seen).sort().forEach(function (value) {
      var option = document.createElement('option');
      option.textContent = value;
      select.appendChild(option);
    });
  });
  var pageRows = 500, matching = [], first = 0;
  function wanted() {
    var text = location.hash.length > 1 ? location.hash.slice(1) : location.search.slice(1);
    var want = {};
    text.split('&').forEach(function (pair) {
      var at = pair.indexOf('=');
      if (at < 0) return;
      try {
        want[decodeURIComponent(pair.slice(0, at))] =
            decodeURIComponent(pair.slice(at + 1).replace(/\+/g, ' '));
      } catch (e) {}
    });
    return want;
  }
  function matches(row, want) {
    return filters.every(function (filter) {
      var value = want[filter.key];
      return !value || filter.at.some(function (index) { return row[index] === value; });
    });
  }
  function cell(row, index) {
    var td = document.createElement('td');
    if (index === pictureAt && row[index]) {
      var link = document.createElement('a');
      link.href = folder + row[index];
      link.textContent = 'picture';
      td.appendChild(link);
    } else {
      td.textContent = index === pictureAt ? 'none' : row[index];
    }
    if (index === statusAt) td.className = 'st st-' + row[index];
    return td;
  }
  function render() {
    var body = table.tBodies[0];
    body.textContent = '';
    var last = Math.min(first + pageRows, matching.length);
    var fragment = document.createDocumentFragment();
    for (var i = first; i < last; i++) {
      var tr = document.createElement('tr');
      tr.setAttribute('data-status', matching[i][statusAt]);
      for (var k = 0; k < matching[i].length; k++) tr.appendChild(cell(matching[i], k));
      fragment.appendChild(tr);
    }
    body.appendChild(fragment);
    var paged = matching.length > pageRows;
    shown.textContent = matching.length + ' of ' + rows.length + ' trees shown' +
        (paged ? ', ' + (first + 1) + ' to ' + last + ' below' : '');
    previous.hidden = next.hidden = !paged;
    previous.disabled = first === 0;
    next.disabled = last >= matching.length;
  }
  function apply(want) {
    matching = rows.filter(function (row) { return matches(row, want); });
    first = 0;
    filters.forEach(function (filter) { filter.select.value = want[filter.key] || ''; });
    render();
  }
  function changed() {
    var parts = [], want = {};
    filters.forEach(function (filter) {
      if (!filter.select.value) return;
      want[filter.key] = filter.select.value;
      parts.push(filter.key + '=' + encodeURIComponent(filter.select.value));
    });
    location.hash = parts.join('&');
    apply(want);
  }
  filters.forEach(function (filter) { filter.select.addEventListener('change', changed); });
  previous.addEventListener('click', function () { first -= pageRows; render(); });
  next.addEventListener('click', function () { first += pageRows; render(); });
  window.addEventListener('hashchange', function () { apply(wanted()); });
  apply(wanted());
})();
)";

// A click on a cell of the study matrix filters the trees to its target, label and file, through
// the address's fragment that the trees' filter follows.
constexpr const char* kStudyScript = R"((function () {
  var study = document.getElementById('study');
  study.addEventListener('click', function (event) {
    var td = event.target.closest('td[data-target]');
    if (!td) return;
    var parts = [];
    ['target', 'label', 'file'].forEach(function (key) {
      var value = td.getAttribute('data-' + key);
      if (value) parts.push(key + '=' + encodeURIComponent(value));
    });
    location.hash = parts.join('&');
    var trees = document.getElementById('trees');
    if (trees) trees.scrollIntoView();
  });
})();
)";

std::string cell(const std::string& text, const char* attributes = "") {
    return std::string("<td") + attributes + ">" + xml_text(text) + "</td>";
}

std::string tally_table(ChartRows pairs, const Grouping& by, double min_support) {
    std::string html = "<table class=\"tally\"><thead><tr>";
    if (by.by_label) html += std::string("<th>") + column_name(Column::kLabel) + "</th>";
    if (by.by_file) html += std::string("<th>") + column_name(Column::kFile) + "</th>";
    html += "<th>target</th><th>sister</th><th>trees</th><th>share</th><th>supported (&#8805; " +
            format_double(min_support) + ")</th><th>median support</th></tr></thead><tbody>\n";
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const PairSummary& pair = pairs[i];
        html += "<tr>" + (by.by_label ? cell(std::string(pair.label)) : std::string()) +
                (by.by_file ? cell(std::string(pair.file)) : std::string()) + cell(pair.target) +
                cell(pair.sister) + cell(std::to_string(pair.trees), " class=\"n\"") +
                cell(format_share(pair.trees, pair.share_of), " class=\"n\"") +
                cell(std::to_string(pair.supported), " class=\"n\"") +
                cell(pair.has_median ? format_double(pair.median) : "n/a", " class=\"n\"") +
                "</tr>\n";
    }
    return html + "</tbody></table>\n";
}

std::string page_title(const PageContent& content) {
    const auto views = [](const std::vector<std::string>& names) {
        return std::vector<std::string_view>(names.begin(), names.end());
    };
    std::string title = "Tavrin summary: ";
    if (!content.targets.empty())
        title += names_listed(views(content.targets), content.targets.size(), 3, "targets",
                              shown_in_title) +
                 " in ";
    title += counted(content.tree_count, "tree", "trees");
    if (!content.labels.empty())
        title +=
            std::string(content.labels.size() == 1 ? ", label " : ", labels ") +
            names_listed(views(content.labels), content.labels.size(), 5, "labels", shown_in_title);
    return title;
}

// The statuses, their colours and what they mean, one line each.
std::string status_legend() {
    std::string html = "<ul class=\"legend\" id=\"legend\">\n";
    for (const TreeStatus status : statuses_listed()) {
        html += std::string("<li><span class=\"st st-") + status_name(status) + "\">" +
                status_name(status) + "</span>" + kLooks[static_cast<std::size_t>(status)].meaning +
                "</li>\n";
    }
    return html + "</ul>\n";
}

std::string menu(const char* title, const std::string& key, const std::string& columns,
                 const std::string& options) {
    return std::string("<label>") + title + " <select name=\"" + key + "\" data-columns=\"" +
           columns + "\"><option value=\"\">all</option>" + options + "</select></label>";
}

// The menus: every status; the sisters, targets and labels of the rows, which the script lists.
std::string filter_form(bool with_label, bool with_file) {
    std::string statuses;
    for (const TreeStatus status : statuses_listed())
        statuses += std::string("<option>") + status_name(status) + "</option>";
    const std::string status_column = column_name(Column::kStatus);
    std::string html =
        "<form id=\"filter\">" + menu("Status", status_column, status_column, statuses) +
        menu("Sister", "sister",
             std::string(column_name(Column::kSister1)) + " " + column_name(Column::kSister2), "") +
        menu("Target", column_name(Column::kTarget), column_name(Column::kTarget), "");
    if (with_label)
        html += menu("Label", column_name(Column::kLabel), column_name(Column::kLabel), "");
    if (with_file) html += menu("File", column_name(Column::kFile), column_name(Column::kFile), "");
    return html +
           "<span id=\"shown\"></span><button type=\"button\" id=\"previous\" hidden>previous"
           "</button><button type=\"button\" id=\"next\" hidden>next</button></form>\n";
}

// The columns the page lists: those of every table the summary reads (but rerooted and
// target_leaves), then those of newer tables that the rows fill.
std::vector<Column> listed_columns(const std::vector<TreeRecord>& records, std::size_t width) {
    constexpr Column kAlways[] = {Column::kFile,    Column::kTree,    Column::kTarget,
                                  Column::kStatus,  Column::kSister1, Column::kSister2,
                                  Column::kSupport, Column::kOutliers};
    constexpr Column kWhenFilled[] = {Column::kOutlierLeaves, Column::kRoot, Column::kStrays,
                                      Column::kRootStrays, Column::kLabel};
    std::vector<Column> columns(std::begin(kAlways), std::end(kAlways));
    bool filled[std::size(kWhenFilled)] = {};
    for (const TreeRecord& record : records) {
        for (std::size_t i = 0; i < std::size(kWhenFilled); ++i)
            filled[i] = filled[i] || !record.field(kWhenFilled[i]).empty();
    }
    for (std::size_t i = 0; i < std::size(kWhenFilled); ++i) {
        if (filled[i] && static_cast<std::size_t>(kWhenFilled[i]) < width)
            columns.push_back(kWhenFilled[i]);
    }
    return columns;
}

// Each byte of `text` outside A-Z a-z 0-9 - . _ ~ (and '/' when `keep_slash`) as %XX.
std::string percent_encoded(std::string_view text, bool keep_slash) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || (keep_slash && c == '/')) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xf];
        }
    }
    return encoded;
}

// The rows as the script reads them: a line of column names, then one line per tree, its number,
// its picture (percent-encoded) when pictures are linked, and its fields as the table writes
// them, escapes in place.
std::string tree_data(const std::vector<TreeRecord>& records, const std::vector<Column>& columns,
                      const PictureLinks* links) {
    // Hidden from the start: laying out its lines only to hide them would take longer than the
    // whole table. Without scripts the style in <noscript> shows them.
    std::string text = "<pre id=\"tree-data\" hidden>#";
    if (links != nullptr) text += "\tpicture";
    for (const Column column : columns) {
        text += '\t';
        text += column_name(column);
    }
    text += '\n';
    for (std::size_t i = 0; i < records.size(); ++i) {
        text += std::to_string(records[i].row);
        if (links != nullptr) {
            text += '\t';
            text += percent_encoded(links->names[i], false);
        }
        for (const Column column : columns) {
            text += '\t';
            text += xml_text(records[i].field(column));
        }
        text += '\n';
    }
    return text + "</pre>\n";
}

std::string pictures_found(const PictureLinks& links, std::size_t rows, const std::string& dir) {
    return "<p id=\"pictures\">Pictures in " + xml_text(dir) + ": " + std::to_string(links.linked) +
           " of " + counted(rows, "tree", "trees") + " linked to " +
           (rows == 1 ? "its own picture, " : "their own picture, ") +
           std::to_string(rows - links.linked) + " without one; " +
           counted(links.others, "picture there belongs", "pictures there belong") +
           " to other trees.</p>\n";
}

// The trees of the tables: the legend of their statuses, what became of the pictures, the
// filter, and the rows.
std::string trees_section(const PageContent& content) {
    const std::vector<TreeRecord>& records = *content.trees;
    std::string html = "<h2>Trees</h2>\n" + status_legend();
    const bool with_pictures = !content.pictures.path.empty();
    PictureLinks links;
    if (with_pictures) {
        links = find_pictures(content.pictures.path, records);
        html += pictures_found(links, records.size(), content.pictures.path);
    }
    if (content.trees_not_listed > 0) {
        html += "<p id=\"not-listed\">The tables hold " +
                counted(content.trees_not_listed, "more tree", "more trees") +
                ", not listed here: the page lists the first " + std::to_string(kPageRows) +
                ".</p>\n";
    }
    const std::vector<Column> columns = listed_columns(records, content.table_width);
    const bool with_label =
        std::find(columns.begin(), columns.end(), Column::kLabel) != columns.end();
    html += filter_form(with_label, content.grouping.by_file);
    html += std::string("<div class=\"wide\"><table id=\"trees\" data-status=\"") +
            column_name(Column::kStatus) + "\" data-picture=\"picture\" data-folder=\"" +
            xml_text(content.pictures.href) + "\"><thead></thead><tbody></tbody></table></div>\n";
    html += tree_data(records, columns, with_pictures ? &links : nullptr);
    return html + "<script>" + kScript + "</script>\n";
}

}  // namespace

std::string folder_href(const std::string& dir, const std::string& page) {
    std::filesystem::path base = std::filesystem::path(page).parent_path();
    if (base.empty()) base = ".";
    const std::filesystem::path relative =
        lexically_absolute(dir).lexically_relative(lexically_absolute(base.string()));
    std::string href = percent_encoded(relative.empty() ? dir : relative.generic_string(), true);
    if (!href.empty() && href.back() != '/') href += '/';
    return href;
}

std::string html_page(const PageContent& content) {
    const std::string title = page_title(content);
    std::string closing;
    for (std::size_t start = 0; start <= content.closing.size();) {
        const std::size_t end = std::min(content.closing.find('\n', start), content.closing.size());
        closing += (start > 0 ? "<br>" : "") + xml_text(content.closing.substr(start, end - start));
        start = end + 1;
    }
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
        "</title>\n<style>" + kStyle + status_style() +
        "</style>\n<noscript><style>#tree-data{display:block}</style></noscript>\n"
        "</head>\n<body>\n<h1>" +
        title + "</h1>\n<p class=\"closing\" id=\"closing\">" + closing + "</p>\n";
    if (!content.study.empty()) html += content.study + "<script>" + kStudyScript + "</script>\n";
    html += "<h2>Sisters</h2>\n";
    if (content.groups.size() > kChartedGroups)
        html += "<p class=\"note\">" + std::to_string(content.groups.size()) +
                " groups: the charts of the " + std::to_string(kChartedGroups) +
                " with the most trees are drawn; the other " +
                std::to_string(content.groups.size() - kChartedGroups) +
                " are listed as tables only.</p>\n";
    for (const PageGroup& group : content.groups) {
        if (!group.name.empty()) html += "<h3>" + xml_text(group.name) + "</h3>\n";
        if (!group.warning.empty())
            html += "<p class=\"warning\">" + xml_text(group.warning) + "</p>\n";
        // The tally beside its chart, the chart under it on a narrow window.
        html +=
            "<div class=\"group\">" + tally_table(group.pairs, content.grouping, group.min_support);
        if (!group.chart.empty()) html += "<figure>" + group.chart + "</figure>";
        html += "</div>\n";
    }
    if (content.table_read && content.trees != nullptr) html += trees_section(content);
    return html + "</body>\n</html>\n";
}

}  // namespace tavrin::summary
