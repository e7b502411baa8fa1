#pragma once

#include <cstddef>

// What a dialog template holds, for toolkits that build windows from code: each control with
// its id, kind, place in dialog units and the text id it shows. The Windows build has the same
// templates as resources; both come from the same figures.
enum class QXLControlKind {
    Label,         // static text
    Edit,          // one-line edit, scrolling horizontally
    PasswordEdit,  // the same, characters hidden
    Button,        // push button
    DefaultButton, // the button Enter presses
    DropDown,      // drop-down list, not editable
    ProgressBar,   // smooth progress bar
    Picture,       // bitmap
};

struct SQXLControl {
    int id;
    QXLControlKind kind;
    int x, y, width, height; // dialog units
    unsigned textId;         // text n of the string table; 0: no text or one set by the model
};

struct SQXLDialogLayout {
    int templateId;
    int width, height; // dialog units
    unsigned captionTextId;
    const SQXLControl* controls;
    std::size_t controlCount;

    const SQXLControl* begin() const { return controls; }
    const SQXLControl* end() const { return controls + controlCount; }
    // The control with id; null when the dialog has none.
    const SQXLControl* Find(int id) const;
};

// Button ids shared by the dialogs.
constexpr int kQXLButtonOk = 1;
constexpr int kQXLButtonCancel = 2;
