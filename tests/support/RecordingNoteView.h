#pragma once

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ui/QXLWarnUpdateDlg.h"

// The release note bar and button as a view would see them, with the thread of the last
// ReleaseNoteFinished. Any thread may call it.
class RecordingNoteView : public IQXLReleaseNoteView {
public:
    void SetRange(int minimum, int maximum) override {
        std::lock_guard<std::mutex> hold(m_lock);
        ranges.emplace_back(minimum, maximum);
    }
    void SetPosition(int position) override {
        std::lock_guard<std::mutex> hold(m_lock);
        positions.push_back(position);
    }
    void ReleaseNoteFinished(int state) override {
        std::lock_guard<std::mutex> hold(m_lock);
        finished.push_back(state);
        finishedOn = std::this_thread::get_id();
    }

    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    std::vector<int> finished;
    std::thread::id finishedOn;

private:
    std::mutex m_lock;
};
