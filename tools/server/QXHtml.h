#pragma once

#include <string>
#include <utility>
#include <vector>

// The console's markup. Texts handed in as texts (headers, titles, field values, labels) are
// escaped here; parameters named html are markup that the caller built with these functions
// or with Escape.
class CQXHtml {
public:
    using Fields = std::vector<std::pair<std::string, std::string>>;

    // & < > " ' as entities: safe between tags and inside quoted attributes.
    static std::string Escape(const std::string& text);
    // A table of header texts (no header row when none) and rows of cells in html. chart, when not
    // empty, asks the page's script to draw the table ("bars" or "lines"; the first column is the x
    // axis, the others are series).
    static std::string Table(const std::vector<std::string>& headers,
                             const std::vector<std::vector<std::string>>& rows,
                             const std::string& chart = std::string());
    // A POST form to action with the CSRF token and the hidden fields, then html (inputs)
    // and a button.
    static std::string Form(const std::string& action, const std::string& csrf,
                            const Fields& hidden, const std::string& html,
                            const std::string& button);
    // A labelled text or number input.
    static std::string Input(const std::string& label, const std::string& name,
                             const std::string& value, const std::string& type = "text");
    // A labelled choice of the options (the first chosen).
    static std::string Select(const std::string& label, const std::string& name,
                              const std::vector<std::string>& options);
    // A whole page: head (styles, and the chart library when charts), the navigation with the
    // page at path marked, the administrator with a logout form (when admin is not empty),
    // the title and html.
    static std::string Page(const std::string& base, const std::string& path,
                            const std::string& title, const std::string& admin,
                            const std::string& csrf, const std::string& html, bool charts);
};
