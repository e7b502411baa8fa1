#include "shell/gtk/QXLGtkHttpPrompt.h"

#include "shell/gtk/QXLGtkHttpDialogs.h"
#include "shell/gtk/QXLGtkMainThread.h"

bool CQXLGtkHttpPrompt::AskProxyCredentials(std::wstring& userName, std::wstring& password) {
    bool given = false;
    CQXLGtkMainThread::Run(
        [&] { given = QXLGtkAskProxyCredentials(m_owner(), m_languageBase, userName, password); });
    return given;
}

bool CQXLGtkHttpPrompt::AcceptCertificate(unsigned long,
                                          const qxplat::HttpCertificate& certificate) {
    bool accepted = false;
    CQXLGtkMainThread::Run(
        [&] { accepted = QXLGtkAcceptCertificate(m_owner(), m_languageBase, certificate); });
    return accepted;
}
