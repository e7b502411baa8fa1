#include "ui/QXLScriptedUserInterface.h"

namespace {

// The first button of each button set, as an unattended user would press it.
int FirstButton(unsigned flags) {
    switch (flags & kQXMbTypeMask) {
    case 2: // abort, retry, ignore
        return 3;
    case 3: // yes, no, cancel
    case kQXMbYesNo:
        return kQXIdYes;
    case 5: // retry, cancel
        return 4;
    default:
        return kQXIdOk;
    }
}

} // namespace

void CQXLScriptedUserInterface::QueueAnswer(int button) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers.push_back(button);
}

void CQXLScriptedUserInterface::QueueProxyCredentials(const std::wstring& userName,
                                                      const std::wstring& password) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_credentials.emplace_back(userName, password);
}

void CQXLScriptedUserInterface::SetAcceptCertificates(bool accept) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_acceptCertificates = accept;
}

std::vector<SQXLMessageBoxRecord> CQXLScriptedUserInterface::MessageBoxes() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_boxes;
}

int CQXLScriptedUserInterface::ProxyQuestions() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_proxyQuestions;
}

int CQXLScriptedUserInterface::CertificateQuestions() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_certificateQuestions;
}

int CQXLScriptedUserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                              unsigned flags) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_boxes.push_back({text, caption, flags});
    if (m_answers.empty())
        return FirstButton(flags);
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

bool CQXLScriptedUserInterface::AskProxyCredentials(std::wstring& userName,
                                                    std::wstring& password) {
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_proxyQuestions;
    if (m_credentials.empty())
        return false;
    userName = m_credentials.front().first;
    password = m_credentials.front().second;
    m_credentials.pop_front();
    return true;
}

bool CQXLScriptedUserInterface::AcceptCertificate(unsigned long) {
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_certificateQuestions;
    return m_acceptCertificates;
}
