#pragma once

#include <gtk/gtk.h>
#include <string>

#include "base/QXLanguage.h"

// Shows a modal message box on the GTK thread and waits for the answer: the buttons and icon
// of flags (kQXMb...), button texts from languageBase's block, caption as the title, above
// owner when it is given and shown. Returns the button pressed (kQXIdOk, kQXIdCancel,
// kQXIdYes, kQXIdNo). The close box and Escape count as Cancel where there is one and as OK
// in a box with OK alone; a Yes/No box can only be answered.
int QXLGtkShowMessageBox(GtkWindow* owner, const std::wstring& text, const std::wstring& caption,
                         unsigned flags, QXLanguageBase languageBase);
