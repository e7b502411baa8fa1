#pragma once

#include <functional>
#include <gtk/gtk.h>

#include "base/QXLanguage.h"
#include "platform/HttpTransport.h"

// The user's answers to HTTP requests' questions on Linux: each question is shown as a
// modal dialog on the GTK thread while the asking thread (worker, keep-alive, download)
// waits for the answer.
class CQXLGtkHttpPrompt : public qxplat::HttpPrompt {
public:
    // owner gives, on the GTK thread, the window the dialogs belong to (may give null).
    CQXLGtkHttpPrompt(QXLanguageBase languageBase, std::function<GtkWindow*()> owner)
        : m_languageBase(languageBase), m_owner(std::move(owner)) {}

    bool AskProxyCredentials(std::wstring& userName, std::wstring& password) override;
    bool AcceptCertificate(unsigned long error,
                           const qxplat::HttpCertificate& certificate) override;

private:
    QXLanguageBase m_languageBase;
    std::function<GtkWindow*()> m_owner;
};
