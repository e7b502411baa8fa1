#include "QXHtml.h"

namespace {

// The console's pages in the navigation: path below admin/, and title.
const std::pair<const char*, const char*> kPages[] = {{"fleet", "Fleet"},
                                                      {"rollouts", "Rollouts"},
                                                      {"outcomes", "Update outcomes"},
                                                      {"users", "Users"}};

} // namespace

std::string CQXHtml::Escape(const std::string& text) {
    std::string html;
    html.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            html += "&amp;";
            break;
        case '<':
            html += "&lt;";
            break;
        case '>':
            html += "&gt;";
            break;
        case '"':
            html += "&quot;";
            break;
        case '\'':
            html += "&#39;";
            break;
        default:
            html += c;
        }
    }
    return html;
}

std::string CQXHtml::Table(const std::vector<std::string>& headers,
                           const std::vector<std::vector<std::string>>& rows,
                           const std::string& chart) {
    std::string html = chart.empty() ? "<table>" : "<table data-chart=\"" + Escape(chart) + "\">";
    if (!headers.empty()) {
        html += "<thead><tr>";
        for (const auto& header : headers)
            html += "<th>" + Escape(header) + "</th>";
        html += "</tr></thead>";
    }
    html += "<tbody>";
    for (const auto& row : rows) {
        html += "<tr>";
        for (const auto& cell : row)
            html += "<td>" + cell + "</td>";
        html += "</tr>";
    }
    if (rows.empty())
        html += "<tr><td colspan=\"" + std::to_string(headers.size()) + "\">None</td></tr>";
    return html + "</tbody></table>";
}

std::string CQXHtml::Form(const std::string& action, const std::string& csrf, const Fields& hidden,
                          const std::string& html, const std::string& button) {
    std::string form = "<form method=\"post\" action=\"" + Escape(action) +
                       "\"><input type=\"hidden\" name=\"csrf\" value=\"" + Escape(csrf) + "\">";
    for (const auto& [name, value] : hidden)
        form +=
            "<input type=\"hidden\" name=\"" + Escape(name) + "\" value=\"" + Escape(value) + "\">";
    return form + html + "<button type=\"submit\">" + Escape(button) + "</button></form>";
}

std::string CQXHtml::Input(const std::string& label, const std::string& name,
                           const std::string& value, const std::string& type) {
    return "<label>" + Escape(label) + " <input type=\"" + Escape(type) + "\" name=\"" +
           Escape(name) + "\" id=\"" + Escape(name) + "\" value=\"" + Escape(value) +
           "\"></label> ";
}

std::string CQXHtml::Page(const std::string& base, const std::string& path,
                          const std::string& title, const std::string& admin,
                          const std::string& csrf, const std::string& html, bool charts) {
    const std::string root = base + "admin/";
    std::string page = "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<title>" +
                       Escape(title) + " - qxserver</title><link rel=\"stylesheet\" href=\"" +
                       Escape(root) + "static/console.css\">";
    if (charts)
        page += "<link rel=\"stylesheet\" href=\"" + Escape(root) +
                "static/uPlot.min.css\"><script defer src=\"" + Escape(root) +
                "static/uPlot.iife.min.js\"></script><script defer src=\"" + Escape(root) +
                "static/console.js\"></script>";
    page += "</head><body><header><strong>qxserver console</strong>";
    if (!admin.empty()) {
        page += "<nav>";
        for (const auto& [name, text] : kPages)
            page += std::string("<a href=\"") + Escape(root + name) + "\"" +
                    (path == name ? " class=\"current\"" : "") + ">" + text + "</a>";
        page += "</nav><span class=\"admin\">" + Escape(admin) + " " +
                Form(root + "logout", csrf, {}, "", "Log out") + "</span>";
    }
    return page + "</header><main><h1>" + Escape(title) + "</h1>" + html + "</main></body></html>";
}

std::string CQXHtml::Select(const std::string& label, const std::string& name,
                            const std::vector<std::string>& options) {
    std::string html = "<label>" + Escape(label) + " <select name=\"" + Escape(name) + "\" id=\"" +
                       Escape(name) + "\">";
    for (const auto& option : options)
        html += "<option>" + Escape(option) + "</option>";
    return html + "</select></label> ";
}
