// The sample primary application on Linux: one GTK window whose WM_CLASS class is the one the
// launcher waits for, showing what the program was started with.
#include <cstdlib>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include "FluxStart.h"

namespace {

constexpr int kMargin = 12;

gboolean Quit(gpointer) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool quoted = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        line += (i > 0 ? " " : "") + (quoted ? "\"" + argument + "\"" : argument);
    }
    return line;
}

std::filesystem::path ProgramDirectory() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

} // namespace

int main(int argc, char** argv) {
    // Read before gtk_init, which takes its own options out of argv.
    const SFluxStart start =
        ReadFluxStart(CommandLine(argc, argv), std::vector<std::string>(argv + 1, argv + argc),
                      ProgramDirectory());
    if (const char* report = std::getenv("QXFLUX_REPORT"); report != nullptr && *report != '\0')
        WriteFluxReport(start, report);

    // The launcher looks for the window on X11, also under a Wayland session.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv)) {
        g_printerr("qxflux: cannot open the display\n");
        return 1;
    }
    gdk_set_program_class(kFluxWindowClass);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "qxflux");
    gtk_window_set_default_size(GTK_WINDOW(window), 480, 320);
    gchar* summary = g_utf8_make_valid(FluxSummary(start).c_str(), -1);
    GtkWidget* label = gtk_label_new(summary);
    g_free(summary);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    g_object_set(label, "margin", kMargin, nullptr);
    gtk_container_add(GTK_CONTAINER(window), label);

    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    g_unix_signal_add(SIGTERM, Quit, nullptr);
    if (start.closeAfterMs > 0)
        g_timeout_add(static_cast<guint>(start.closeAfterMs), Quit, nullptr);

    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
