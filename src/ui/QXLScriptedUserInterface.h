#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ui/QXLUserInterface.h"

// One message box as it was asked for.
struct SQXLMessageBoxRecord {
    std::wstring text;
    std::wstring caption;
    unsigned flags = 0;
};

// A user interface without a user: it records every message box and answers from queues given
// in advance. With an empty queue a box gets its first button (OK or Yes) and a proxy question
// is declined. Used by the tests, and where no toolkit shows boxes yet. Any thread may call it.
class CQXLScriptedUserInterface : public IQXLUserInterface, public qxplat::HttpPrompt {
public:
    // The answer to the next message box that finds the queue not empty.
    void QueueAnswer(int button);
    // The credentials to give at the next proxy question.
    void QueueProxyCredentials(const std::wstring& userName, const std::wstring& password);
    // Whether certificate problems are accepted (declined by default).
    void SetAcceptCertificates(bool accept);

    std::vector<SQXLMessageBoxRecord> MessageBoxes() const;
    int ProxyQuestions() const;
    int CertificateQuestions() const;

    int ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                       unsigned flags) override;
    qxplat::HttpPrompt* GetHttpPrompt() override { return this; }

    bool AskProxyCredentials(std::wstring& userName, std::wstring& password) override;
    bool AcceptCertificate(unsigned long error) override;

private:
    mutable std::mutex m_lock;
    std::deque<int> m_answers;
    std::deque<std::pair<std::wstring, std::wstring>> m_credentials;
    bool m_acceptCertificates = false;
    std::vector<SQXLMessageBoxRecord> m_boxes;
    int m_proxyQuestions = 0;
    int m_certificateQuestions = 0;
};
