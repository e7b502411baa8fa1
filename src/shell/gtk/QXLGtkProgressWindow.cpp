#include "shell/gtk/QXLGtkProgressWindow.h"

#include <algorithm>

#include "platform/LanguageTexts.h"
#include "platform/Text.h"
#include "shell/gtk/QXLGtkMainThread.h"
#include "shell/gtk/QXLGtkSplashPicture.h"
#include "ui/QXLWindowLayouts.h"

namespace {

constexpr int kStatusLine = kQXLSplashStatus;
constexpr int kProgressBar = kQXLSplashProgress;
// Not shown (the window has no caption); it lets tools and tests find the splash.
constexpr char kWindowTitle[] = "QXLauncher";

} // namespace

namespace {

// The splash picture at its own size, never stretched; null when there is none.
GtkWidget* CreatePicture() {
    GdkPixbuf* pixbuf = QXLGtkLoadSplashPicture();
    if (pixbuf == nullptr)
        return nullptr;
    GtkWidget* picture = gtk_image_new_from_pixbuf(pixbuf);
    g_object_unref(pixbuf);
    gtk_widget_set_halign(picture, GTK_ALIGN_START);
    gtk_widget_set_valign(picture, GTK_ALIGN_START);
    return picture;
}

} // namespace

CQXLGtkProgressWindow::CQXLGtkProgressWindow(std::function<void()> onClose)
    : m_onClose(std::move(onClose)), m_window(gtk_window_new(GTK_WINDOW_TOPLEVEL)) {
    CQXLGtkMainThread::Check();
    // The picture comes first, so that one taller than its area lies under the status line
    // and the bar instead of hiding them.
    m_controls = std::make_unique<CQXLGtkControls>(QXLSplashLayout(), CreatePicture());
    GtkWindow* window = GTK_WINDOW(m_window);
    gtk_window_set_title(window, kWindowTitle);
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_SPLASHSCREEN);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    CQXLGtkControls::ApplyStyle(m_window);
    // The thin border of a window without caption.
    GtkWidget* border = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(border), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(border), m_controls->Area());
    gtk_container_add(GTK_CONTAINER(m_window), border);
    // The template's own text, English whatever the language, until the worker writes one.
    if (const SQXLControl* status = QXLSplashLayout().Find(kStatusLine))
        m_controls->SetText(kStatusLine, QXLoadText(kQXEnglishBase, status->textId));
    gtk_widget_show_all(border);
    // Closing the window is the worker's business; the close box of a desktop does nothing.
    g_signal_connect(m_window, "delete-event", G_CALLBACK(&gtk_true), nullptr);
}

CQXLGtkProgressWindow::~CQXLGtkProgressWindow() {
    CQXLGtkMainThread::Check();
    gtk_widget_destroy(m_window);
}

void CQXLGtkProgressWindow::UpdateBar() {
    const double span = std::max(1, m_maximum - m_minimum);
    const double fraction = std::clamp((m_position - m_minimum) / span, 0.0, 1.0);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_controls->Control(kProgressBar)), fraction);
}

void CQXLGtkProgressWindow::SetRange(int minimum, int maximum) {
    CQXLGtkMainThread::Run([this, minimum, maximum] {
        m_minimum = minimum;
        m_maximum = maximum;
        UpdateBar();
    });
}

void CQXLGtkProgressWindow::SetPosition(int position) {
    CQXLGtkMainThread::Run([this, position] {
        m_position = position;
        UpdateBar();
    });
}

void CQXLGtkProgressWindow::SetStatusText(const std::wstring& text) {
    CQXLGtkMainThread::Run([this, &text] { m_controls->SetText(kStatusLine, text); });
}

void CQXLGtkProgressWindow::Show() {
    CQXLGtkMainThread::Run([this] {
        if (!m_closed)
            gtk_window_present(GTK_WINDOW(m_window));
    });
}

void CQXLGtkProgressWindow::Hide() {
    CQXLGtkMainThread::Run([this] { gtk_widget_hide(m_window); });
}

void CQXLGtkProgressWindow::Close() {
    CQXLGtkMainThread::Run([this] {
        gtk_widget_hide(m_window);
        if (m_closed)
            return;
        m_closed = true;
        if (m_onClose)
            m_onClose();
    });
}

double CQXLGtkProgressWindow::ShownFraction() const {
    double fraction = 0;
    CQXLGtkMainThread::Run([this, &fraction] {
        fraction =
            gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(m_controls->Control(kProgressBar)));
    });
    return fraction;
}

std::wstring CQXLGtkProgressWindow::ShownStatusText() const {
    std::wstring text;
    CQXLGtkMainThread::Run([this, &text] {
        text = qxplat::FromNarrow(gtk_label_get_text(GTK_LABEL(m_controls->Control(kStatusLine))));
    });
    return text;
}
