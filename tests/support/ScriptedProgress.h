#pragma once

#include <string>
#include <vector>

#include "ui/QXLScriptedUserInterface.h"

// What the scripted user interface recorded of its progress window, by kind.

inline std::vector<int> ProgressPositions(const CQXLScriptedUserInterface& ui) {
    std::vector<int> positions;
    for (const SQXLProgressEvent& event : ui.ProgressEvents())
        if (event.kind == SQXLProgressEvent::Kind::Position)
            positions.push_back(event.value);
    return positions;
}

inline std::vector<std::wstring> ProgressStatusTexts(const CQXLScriptedUserInterface& ui) {
    std::vector<std::wstring> texts;
    for (const SQXLProgressEvent& event : ui.ProgressEvents())
        if (event.kind == SQXLProgressEvent::Kind::Status)
            texts.push_back(event.text);
    return texts;
}

inline int ProgressCloses(const CQXLScriptedUserInterface& ui) {
    int closes = 0;
    for (const SQXLProgressEvent& event : ui.ProgressEvents())
        closes += event.kind == SQXLProgressEvent::Kind::Close ? 1 : 0;
    return closes;
}
