#pragma once

#include <gtk/gtk.h>
#include <map>
#include <string>

#include "ui/QXLDialogLayout.h"

// Dialog units to pixels, as the templates are drawn: 1.5 pixels across, 1.625 down.
int QXLGtkPixelsAcross(int dialogUnits);
int QXLGtkPixelsDown(int dialogUnits);

// The controls of a dialog layout on an area of the template's size, each at its place and size
// mapped from dialog units to pixels, found by their ids. Labels wrap inside their box, edits
// scroll, password edits hide their characters. Lives on the GTK thread; the area belongs to
// the window it is put in.
class CQXLGtkControls {
public:
    // Builds every control of layout; picture (may be null: none) is put, at its own size,
    // at the place of the layout's picture control.
    explicit CQXLGtkControls(const SQXLDialogLayout& layout, GtkWidget* picture = nullptr);

    CQXLGtkControls(const CQXLGtkControls&) = delete;
    CQXLGtkControls& operator=(const CQXLGtkControls&) = delete;

    GtkWidget* Area() const { return m_area; }
    const SQXLDialogLayout& Layout() const { return m_layout; }
    // The control with id; null when the layout has none.
    GtkWidget* Control(int id) const;

    // Puts text into a label, button or edit.
    void SetText(int id, const std::wstring& text);
    // The text of an edit, at most the 1023 characters that count; empty for anything else.
    std::wstring EditText(int id) const;

    // The class that the launcher's style sheet gives its compact template look, installed on
    // the screen at the first use.
    static void ApplyStyle(GtkWidget* window);

private:
    GtkWidget* Create(const SQXLControl& control);

    const SQXLDialogLayout& m_layout;
    GtkWidget* m_area;
    std::map<int, GtkWidget*> m_controls;
};
