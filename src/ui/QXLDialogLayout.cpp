#include "ui/QXLDialogLayout.h"

const SQXLControl* SQXLDialogLayout::Find(int id) const {
    for (const SQXLControl& control : *this) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}
