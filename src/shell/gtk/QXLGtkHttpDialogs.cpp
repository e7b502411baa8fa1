#include "shell/gtk/QXLGtkHttpDialogs.h"

#include "platform/LanguageTexts.h"
#include "platform/Text.h"
#include "shell/gtk/QXLGtkMainThread.h"
#include "ui/QXLUserInterface.h"

namespace {

constexpr unsigned kTextPassword = 17;
constexpr unsigned kTextOk = 19;
constexpr unsigned kTextCancel = 20;
constexpr unsigned kTextProxyQuestion = 60;
constexpr unsigned kTextUserName = 61;
constexpr unsigned kTextCertificateQuestion = 62;
constexpr unsigned kTextSubject = 63;
constexpr unsigned kTextIssuer = 64;
constexpr unsigned kTextValidFrom = 65;
constexpr unsigned kTextValidUntil = 66;
constexpr unsigned kTextFingerprint = 67;
constexpr unsigned kTextAcceptOnce = 68;
constexpr unsigned kTextRefuse = 69;

// Wide enough for a sentence, so that long texts wrap instead of widening the window.
constexpr int kTextWidthChars = 52;
// The fingerprint's pairs per line: 16 pairs make two lines of the 32.
constexpr std::size_t kFingerprintLineChars = 16 * 3;

std::string Text(QXLanguageBase base, unsigned id) {
    return qxplat::ToNarrow(QXLoadText(base, id));
}

// A dialog captioned as every window of the launcher, kept above the others as the boxes
// are, with the question at its top and a grid below it for the rows.
GtkWidget* NewDialog(GtkWindow* owner, QXLanguageBase base, unsigned questionId, GtkGrid*& grid) {
    CQXLGtkMainThread::Check();
    if (owner != nullptr && !gtk_widget_get_visible(GTK_WIDGET(owner)))
        owner = nullptr;
    GtkWidget* dialog = gtk_dialog_new();
    GtkWindow* window = GTK_WINDOW(dialog);
    gtk_window_set_title(window, Text(base, kQXTextCaption).c_str());
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_keep_above(window, TRUE);
    if (owner != nullptr)
        gtk_window_set_transient_for(window, owner);
    gtk_window_set_position(window,
                            owner != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(area), 12);
    gtk_box_set_spacing(GTK_BOX(area), 12);
    GtkWidget* question = gtk_label_new(Text(base, questionId).c_str());
    gtk_label_set_line_wrap(GTK_LABEL(question), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(question), kTextWidthChars);
    gtk_label_set_xalign(GTK_LABEL(question), 0);
    gtk_box_pack_start(GTK_BOX(area), question, FALSE, FALSE, 0);
    grid = GTK_GRID(gtk_grid_new());
    gtk_grid_set_row_spacing(grid, 6);
    gtk_grid_set_column_spacing(grid, 12);
    gtk_box_pack_start(GTK_BOX(area), GTK_WIDGET(grid), FALSE, FALSE, 0);
    return dialog;
}

void AddRow(GtkGrid* grid, int row, const std::string& label, GtkWidget* value) {
    GtkWidget* name = gtk_label_new(label.c_str());
    gtk_label_set_xalign(GTK_LABEL(name), 0);
    gtk_widget_set_valign(name, GTK_ALIGN_START);
    gtk_grid_attach(grid, name, 0, row, 1, 1);
    gtk_widget_set_hexpand(value, TRUE);
    gtk_grid_attach(grid, value, 1, row, 1, 1);
}

GtkWidget* Entry(const std::wstring& text, bool visible) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), qxplat::ToNarrow(text).c_str());
    gtk_entry_set_visibility(GTK_ENTRY(entry), visible ? TRUE : FALSE);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 28);
    return entry;
}

// A value the user may select and copy, wrapped where it is long.
GtkWidget* Value(const std::wstring& text) {
    GtkWidget* label = gtk_label_new(qxplat::ToNarrow(text).c_str());
    gtk_label_set_selectable(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(label), kTextWidthChars);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_widget_set_can_focus(label, FALSE);
    return label;
}

// The fingerprint in lines of kFingerprintLineChars, so that it never wraps inside a pair.
std::wstring FingerprintLines(const std::wstring& fingerprint) {
    std::wstring lines;
    for (std::size_t at = 0; at < fingerprint.size(); at += kFingerprintLineChars) {
        if (!lines.empty())
            lines += L'\n';
        lines += fingerprint.substr(at, kFingerprintLineChars - 1);
    }
    return lines;
}

// Runs the dialog until it is answered; true for the OK response.
bool Answered(GtkWidget* dialog) {
    gtk_widget_show_all(dialog);
    const bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    gtk_widget_destroy(dialog);
    return ok;
}

} // namespace

bool QXLGtkAskProxyCredentials(GtkWindow* owner, QXLanguageBase base, std::wstring& userName,
                               std::wstring& password) {
    GtkGrid* grid = nullptr;
    GtkWidget* dialog = NewDialog(owner, base, kTextProxyQuestion, grid);
    GtkWidget* user = Entry(userName, true);
    GtkWidget* secret = Entry(std::wstring(), false);
    AddRow(grid, 0, Text(base, kTextUserName), user);
    AddRow(grid, 1, Text(base, kTextPassword), secret);
    gtk_dialog_add_button(GTK_DIALOG(dialog), Text(base, kTextOk).c_str(), GTK_RESPONSE_OK);
    gtk_dialog_add_button(GTK_DIALOG(dialog), Text(base, kTextCancel).c_str(), GTK_RESPONSE_CANCEL);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    // A user name the proxy refused is kept: the password is what to type again.
    gtk_widget_grab_focus(userName.empty() ? user : secret);
    gtk_widget_show_all(dialog);
    if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_OK) {
        gtk_widget_destroy(dialog);
        return false;
    }
    userName = qxplat::FromNarrow(gtk_entry_get_text(GTK_ENTRY(user)));
    password = qxplat::FromNarrow(gtk_entry_get_text(GTK_ENTRY(secret)));
    gtk_widget_destroy(dialog);
    return true;
}

bool QXLGtkAcceptCertificate(GtkWindow* owner, QXLanguageBase base,
                             const qxplat::HttpCertificate& certificate) {
    GtkGrid* grid = nullptr;
    GtkWidget* dialog = NewDialog(owner, base, kTextCertificateQuestion, grid);
    AddRow(grid, 0, Text(base, kTextSubject), Value(certificate.subject));
    AddRow(grid, 1, Text(base, kTextIssuer), Value(certificate.issuer));
    AddRow(grid, 2, Text(base, kTextValidFrom), Value(certificate.notBefore));
    AddRow(grid, 3, Text(base, kTextValidUntil), Value(certificate.notAfter));
    GtkWidget* fingerprint = Value(FingerprintLines(certificate.sha256));
    gtk_style_context_add_class(gtk_widget_get_style_context(fingerprint), "monospace");
    AddRow(grid, 4, Text(base, kTextFingerprint), fingerprint);
    gtk_dialog_add_button(GTK_DIALOG(dialog), Text(base, kTextAcceptOnce).c_str(), GTK_RESPONSE_OK);
    GtkWidget* refuse = gtk_dialog_add_button(GTK_DIALOG(dialog), Text(base, kTextRefuse).c_str(),
                                              GTK_RESPONSE_CANCEL);
    // Refusing is what a hurried Enter does.
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    gtk_widget_grab_focus(refuse);
    return Answered(dialog);
}
