#pragma once

#include <gtk/gtk.h>
#include <string>

#include "base/QXLanguage.h"
#include "platform/HttpTransport.h"

// The two questions an HTTP request may raise, as modal dialogs on the GTK thread, above
// owner when it is given and shown, with texts from languageBase's block. Escape and the
// close box answer no.

// A proxy asks for credentials: user name (shown as it comes in) and password. True after OK,
// with what the user typed; false after Cancel, with both left as they were.
bool QXLGtkAskProxyCredentials(GtkWindow* owner, QXLanguageBase languageBase,
                               std::wstring& userName, std::wstring& password);

// The server's certificate could not be verified: shows its subject, issuer, validity and
// SHA-256 fingerprint. True when the user accepts it, false when he refuses (the default).
bool QXLGtkAcceptCertificate(GtkWindow* owner, QXLanguageBase languageBase,
                             const qxplat::HttpCertificate& certificate);
