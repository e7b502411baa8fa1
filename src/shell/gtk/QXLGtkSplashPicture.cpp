#include "shell/gtk/QXLGtkSplashPicture.h"

#include "platform/Resources.h"

namespace {

// The name is relative on purpose: a replacement picture is taken from the directory the
// launcher was started in, not from beside the program.
constexpr char kReplacementFile[] = "qxlauncher.bmp";

GdkPixbuf* LoadBuiltIn() {
    const std::string_view bitmap = qxplat::BuiltInSplashBitmap();
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* picture = nullptr;
    const bool loaded =
        gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bitmap.data()),
                                bitmap.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr);
    if (loaded) {
        picture = gdk_pixbuf_loader_get_pixbuf(loader);
        if (picture != nullptr)
            g_object_ref(picture);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return picture;
}

} // namespace

GdkPixbuf* QXLGtkLoadSplashPicture() {
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(kReplacementFile, nullptr);
    return picture != nullptr ? picture : LoadBuiltIn();
}
