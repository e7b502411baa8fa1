#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

// The splash picture: "qxlauncher.bmp" from the current directory when it loads, otherwise
// the program's built-in bitmap. Returns a new reference; null only when neither loads.
GdkPixbuf* QXLGtkLoadSplashPicture();
