#include "shell/gtk/QXLGtkControls.h"

#include <cmath>

#include "platform/Text.h"
#include "shell/gtk/QXLGtkMainThread.h"
#include "ui/QXLCredentialDlg.h"

namespace {

// Drawn as the templates are: an 8-point dialog font, condensed where the desktop has such a
// face (the templates' texts were fitted to a narrow one), and controls no taller than their
// boxes, so that the toolkit's roomier theme does not push them over one another.
constexpr char kStyleSheet[] = R"css(
.qxl-template, .qxl-template label, .qxl-template entry, .qxl-template button,
.qxl-template combobox, .qxl-template menuitem {
    font-size: 8pt;
    font-stretch: condensed;
}
.qxl-template entry {
    min-height: 0;
    padding: 0 3px;
}
.qxl-template button {
    min-height: 0;
    min-width: 0;
    padding: 0 4px;
}
.qxl-template combobox button {
    padding: 0 2px 0 4px;
}
.qxl-template progressbar trough, .qxl-template progressbar progress {
    min-height: 10px;
}
)css";

GtkWidget* CreateLabel() {
    GtkWidget* label = gtk_label_new(nullptr);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    return label;
}

GtkWidget* CreateEdit(bool hidden) {
    GtkWidget* entry = gtk_entry_new();
    // The box's width is the edit's width, whatever the theme thinks an entry needs.
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    if (hidden) {
        gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
        gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_PASSWORD);
    }
    return entry;
}

} // namespace

int QXLGtkPixelsAcross(int dialogUnits) { return static_cast<int>(std::lround(dialogUnits * 1.5)); }

int QXLGtkPixelsDown(int dialogUnits) { return static_cast<int>(std::lround(dialogUnits * 1.625)); }

CQXLGtkControls::CQXLGtkControls(const SQXLDialogLayout& layout, GtkWidget* picture)
    : m_layout(layout), m_area(gtk_layout_new(nullptr, nullptr)) {
    CQXLGtkMainThread::Check();
    // A layout rather than a fixed: its size is the template's whatever its children would
    // like, and each child gets its own minimum size, labels wrapped at their box's width.
    const int width = QXLGtkPixelsAcross(layout.width);
    const int height = QXLGtkPixelsDown(layout.height);
    gtk_layout_set_size(GTK_LAYOUT(m_area), width, height);
    gtk_widget_set_size_request(m_area, width, height);
    for (const SQXLControl& control : layout) {
        const bool isPicture = control.kind == QXLControlKind::Picture;
        if (isPicture && picture == nullptr)
            continue;
        GtkWidget* widget = isPicture ? picture : Create(control);
        // Edges from the mapped corners, so that neighbouring boxes meet as in the template.
        const int left = QXLGtkPixelsAcross(control.x);
        const int top = QXLGtkPixelsDown(control.y);
        // A drop-down's template height includes its open list; closed it is as tall as
        // its text needs. A picture keeps its own size.
        if (!isPicture) {
            const int boxHeight = control.kind == QXLControlKind::DropDown
                                      ? -1
                                      : QXLGtkPixelsDown(control.y + control.height) - top;
            gtk_widget_set_size_request(
                widget, QXLGtkPixelsAcross(control.x + control.width) - left, boxHeight);
        }
        gtk_layout_put(GTK_LAYOUT(m_area), widget, left, top);
        m_controls[control.id] = widget;
    }
}

GtkWidget* CQXLGtkControls::Create(const SQXLControl& control) {
    switch (control.kind) {
    case QXLControlKind::Label:
        return CreateLabel();
    case QXLControlKind::Edit:
        return CreateEdit(false);
    case QXLControlKind::PasswordEdit:
        return CreateEdit(true);
    case QXLControlKind::Button:
        return gtk_button_new();
    case QXLControlKind::DefaultButton: {
        GtkWidget* button = gtk_button_new();
        gtk_widget_set_can_default(button, TRUE);
        return button;
    }
    case QXLControlKind::DropDown:
        return gtk_combo_box_text_new();
    case QXLControlKind::ProgressBar:
        return gtk_progress_bar_new();
    case QXLControlKind::Picture:
        break;
    }
    return gtk_label_new(nullptr);
}

GtkWidget* CQXLGtkControls::Control(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void CQXLGtkControls::SetText(int id, const std::wstring& text) {
    CQXLGtkMainThread::Check();
    GtkWidget* widget = Control(id);
    const std::string utf8 = qxplat::ToNarrow(text);
    if (GTK_IS_LABEL(widget))
        gtk_label_set_text(GTK_LABEL(widget), utf8.c_str());
    else if (GTK_IS_BUTTON(widget))
        gtk_button_set_label(GTK_BUTTON(widget), utf8.c_str());
    else if (GTK_IS_ENTRY(widget))
        gtk_entry_set_text(GTK_ENTRY(widget), utf8.c_str());
}

std::wstring CQXLGtkControls::EditText(int id) const {
    CQXLGtkMainThread::Check();
    GtkWidget* widget = Control(id);
    if (!GTK_IS_ENTRY(widget))
        return {};
    std::wstring text = qxplat::FromNarrow(gtk_entry_get_text(GTK_ENTRY(widget)));
    if (text.size() > kQXLEditCapacity)
        text.resize(kQXLEditCapacity);
    return text;
}

void CQXLGtkControls::ApplyStyle(GtkWidget* window) {
    static GtkCssProvider* provider = nullptr;
    if (provider == nullptr) {
        provider = gtk_css_provider_new();
        gtk_css_provider_load_from_data(provider, kStyleSheet, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                                  GTK_STYLE_PROVIDER(provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_style_context_add_class(gtk_widget_get_style_context(window), "qxl-template");
}
