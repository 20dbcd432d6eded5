#include "summary/html_page.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "draw/picture_file.h"
#include "draw/xml_text.h"
#include "summary/table.h"

namespace tavrin::summary {

namespace {

using tavrin::xml_text;

// Status colours: each a text colour dark enough on its light background.
constexpr const char* kStyle = R"(body{font-family:sans-serif;margin:24px;color:#222}
table{border-collapse:collapse;margin:8px 0 20px}
th,td{border:1px solid #d0d7de;padding:3px 8px;text-align:left;vertical-align:top}
th{background:#f3f5f7}td.n{text-align:right}
.closing{font-weight:bold}
.st{font-weight:bold}
.st-sisters{color:#1a6b32;background:#dcf5e3}
.st-unnamed{color:#7a5200;background:#fff1c7}
.st-not-a-clade{color:#b3141f;background:#ffe1df}
.st-no-target{color:#525a63;background:#eceff1}
.st-whole-tree{color:#6034b8;background:#ece4ff}
.st-malformed{color:#ffffff;background:#5c0a10}
.st-ambiguous{color:#a33f00;background:#ffe6d1}
.st-no-root{color:#005f66;background:#d6f3f5}
.st-unreadable{color:#ffffff;background:#3d434a}
form{margin:8px 0}select{margin-right:16px}
)";

// The filter: the address's fragment (or else its query) says what to show, the two menus
// change it.
constexpr const char* kScript = R"((function () {
  var status = document.getElementById('status');
  var sister = document.getElementById('sister');
  var rows = document.querySelectorAll('#trees tbody tr');
  var shown = document.getElementById('shown');
  function wanted() {
    var text = location.hash.length > 1 ? location.hash.slice(1) : location.search.slice(1);
    var want = {status: '', sister: ''};
    text.split('&').forEach(function (pair) {
      var at = pair.indexOf('=');
      if (at < 0) return;
      var key = decodeURIComponent(pair.slice(0, at));
      var value = decodeURIComponent(pair.slice(at + 1).replace(/\+/g, ' '));
      if (key in want) want[key] = value;
    });
    return want;
  }
  function apply(want) {
    var count = 0;
    for (var i = 0; i < rows.length; i++) {
      var row = rows[i];
      var ok = (!want.status || row.getAttribute('data-status') === want.status) &&
          (!want.sister || row.getAttribute('data-sister1') === want.sister ||
           row.getAttribute('data-sister2') === want.sister);
      row.hidden = !ok;
      if (ok) count++;
    }
    status.value = want.status;
    sister.value = want.sister;
    shown.textContent = count + ' of ' + rows.length + ' trees shown';
  }
  function changed() {
    var parts = [];
    if (status.value) parts.push('status=' + encodeURIComponent(status.value));
    if (sister.value) parts.push('sister=' + encodeURIComponent(sister.value));
    location.hash = parts.join('&');
    apply({status: status.value, sister: sister.value});
  }
  status.addEventListener('change', changed);
  sister.addEventListener('change', changed);
  window.addEventListener('hashchange', function () { apply(wanted()); });
  apply(wanted());
})();
)";

std::string cell(const std::string& text, const char* attributes = "") {
    return std::string("<td") + attributes + ">" + xml_text(text) + "</td>";
}

std::string tally_table(const std::vector<PairSummary>& pairs, std::size_t tree_count) {
    std::string html =
        "<table class=\"tally\"><thead><tr><th>target</th><th>sister</th><th>trees</th>"
        "<th>share</th><th>supported</th><th>median support</th></tr></thead><tbody>\n";
    for (const PairSummary& pair : pairs) {
        html += "<tr>" + cell(pair.target) + cell(pair.sister) +
                cell(std::to_string(pair.trees), " class=\"n\"") +
                cell(format_share(pair.trees, tree_count), " class=\"n\"") +
                cell(std::to_string(pair.supported), " class=\"n\"") +
                cell(pair.has_median ? format_double(pair.median) : "n/a", " class=\"n\"") +
                "</tr>\n";
    }
    return html + "</tbody></table>\n";
}

// Whether the tree of `records[i]` comes from a file of several trees: its number is above 1,
// or the next row is the second tree of the same file.
bool from_several(const std::vector<TreeRecord>& records, std::size_t i) {
    if (records[i].tree != "1") return true;
    return i + 1 < records.size() && records[i + 1].row == records[i].row + 1 &&
           records[i + 1].file == records[i].file && records[i + 1].tree == "2";
}

// The link of a tree's picture, or "" when the folder holds none for it.
std::string picture_link(const std::vector<TreeRecord>& records, std::size_t i,
                         const PictureFolder& pictures) {
    if (pictures.path.empty()) return std::string();
    const TreeRecord& record = records[i];
    std::size_t tree = 0;
    for (const char c : record.tree) {
        if (c < '0' || c > '9' || tree > 100000000) return std::string();
        tree = tree * 10 + static_cast<std::size_t>(c - '0');
    }
    const std::string name =
        tavrin::picture_name(record.file, record.row, tree, from_several(records, i));
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(pictures.path) / name, error))
        return std::string();
    return pictures.href + name;
}

// The filter's two menus: every status, and every sister named in the rows.
std::string filter_form(const std::vector<TreeRecord>& records) {
    std::string html =
        "<form id=\"filter\"><label>Status <select id=\"status\">"
        "<option value=\"\">all</option>";
    // Every status a table can give: a tree with sisters, or the reason it has none.
    html += std::string("<option>") + status_name(TreeStatus::kSisters) + "</option>";
    for (const TreeStatus status : kReasonOrder)
        html += std::string("<option>") + status_name(status) + "</option>";
    html +=
        "</select></label><label>Sister <select id=\"sister\"><option value=\"\">all"
        "</option>";
    std::set<std::string> sisters;
    for (const TreeRecord& record : records) {
        if (!record.sister1.empty()) sisters.insert(record.sister1);
        if (!record.sister2.empty()) sisters.insert(record.sister2);
    }
    for (const std::string& sister : sisters)
        html += "<option>" + xml_text(sister) + "</option>";
    return html + "</select></label><span id=\"shown\"></span></form>\n";
}

// One row per tree; `found` counts the pictures linked.
std::string tree_table(const std::vector<TreeRecord>& records, const PictureFolder& pictures,
                       std::size_t& found) {
    std::string html =
        "<table id=\"trees\"><thead><tr><th>#</th><th>file</th><th>tree</th>"
        "<th>status</th><th>sister1</th><th>sister2</th><th>support</th>"
        "<th>outliers</th>";
    if (!pictures.path.empty()) html += "<th>picture</th>";
    html += "</tr></thead><tbody>\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TreeRecord& r = records[i];
        html += "<tr data-status=\"" + xml_text(r.status) + "\" data-sister1=\"" +
                xml_text(r.sister1) + "\" data-sister2=\"" + xml_text(r.sister2) + "\">" +
                cell(std::to_string(r.row), " class=\"n\"") + cell(r.file) +
                cell(r.tree, " class=\"n\"") +
                cell(r.status, (" class=\"st st-" + xml_text(r.status) + "\"").c_str()) +
                cell(r.sister1) + cell(r.sister2) + cell(r.support, " class=\"n\"") +
                cell(r.outliers, " class=\"n\"");
        if (!pictures.path.empty()) {
            const std::string link = picture_link(records, i, pictures);
            if (link.empty()) {
                html += "<td>none</td>";
            } else {
                ++found;
                html += "<td><a href=\"" + xml_text(link) + "\">picture</a></td>";
            }
        }
        html += "</tr>\n";
    }
    return html + "</tbody></table>\n";
}

// The chart's document without its XML declaration, to stand inside the page.
std::string inline_svg(const std::string& svg) {
    const std::size_t start = svg.find("<svg");
    return start == std::string::npos ? svg : svg.substr(start);
}

}  // namespace

std::string folder_href(const std::string& dir, const std::string& page) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = fs::path(page).parent_path();
    if (base.empty()) base = ".";
    fs::path relative = fs::relative(dir, base, error);
    const std::string path = error || relative.empty() ? dir : relative.generic_string();
    static const char kHex[] = "0123456789ABCDEF";
    std::string href;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            href += c;
        } else {
            href += '%';
            href += kHex[byte >> 4];
            href += kHex[byte & 0xf];
        }
    }
    if (!href.empty() && href.back() != '/') href += '/';
    return href;
}

std::string html_page(const PageContent& content) {
    const std::string title = "Tavrin summary: " + std::to_string(content.tree_count) +
                              (content.tree_count == 1 ? " tree" : " trees");
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>" +
        title + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n"
        "<body>\n<h1>" +
        title + "</h1>\n<p class=\"closing\" id=\"closing\">" + xml_text(content.closing) +
        "</p>\n<h2>Sisters</h2>\n";
    html += tally_table(*content.pairs, content.tree_count);
    html += "<figure>" + inline_svg(content.chart_svg) + "</figure>\n";
    if (content.table_read && content.trees != nullptr) {
        std::size_t found = 0;
        const std::string rows = tree_table(*content.trees, content.pictures, found);
        html += "<h2>Trees</h2>\n";
        if (!content.pictures.path.empty()) {
            html += "<p id=\"pictures\">" + std::to_string(found) + " of " +
                    std::to_string(content.trees->size()) + " pictures found in " +
                    xml_text(content.pictures.path) + "</p>\n";
        }
        html += filter_form(*content.trees) + rows + "<script>" + kScript + "</script>\n";
    }
    return html + "</body>\n</html>\n";
}

}  // namespace tavrin::summary
