#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "ui/QXLProgressWindow.h"

// A progress window without a window: it records what the worker asks of it. Any thread.
class RecordingProgressWindow : public IQXLProgressWindow {
public:
    void SetRange(int, int) override {}
    void SetPosition(int position) override {
        std::lock_guard<std::mutex> hold(m_lock);
        m_positions.push_back(position);
    }
    void SetStatusText(const std::wstring& text) override {
        std::lock_guard<std::mutex> hold(m_lock);
        m_statusTexts.push_back(text);
    }
    void Show() override {}
    void Hide() override {}
    void Close() override {
        std::lock_guard<std::mutex> hold(m_lock);
        ++m_closed;
    }

    std::vector<int> Positions() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_positions;
    }
    std::vector<std::wstring> StatusTexts() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_statusTexts;
    }
    int Closed() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_closed;
    }

private:
    mutable std::mutex m_lock;
    std::vector<int> m_positions;
    std::vector<std::wstring> m_statusTexts;
    int m_closed = 0;
};
