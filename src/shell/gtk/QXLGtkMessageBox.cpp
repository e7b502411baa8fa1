#include "shell/gtk/QXLGtkMessageBox.h"

#include "platform/LanguageTexts.h"
#include "platform/Text.h"
#include "shell/gtk/QXLGtkMainThread.h"
#include "ui/QXLUserInterface.h"

namespace {

constexpr unsigned kTextOk = 19;
constexpr unsigned kTextCancel = 20;
constexpr unsigned kTextYes = 47;
constexpr unsigned kTextNo = 48;
constexpr unsigned kIconMask = 0xF0;

const char* IconName(unsigned flags) {
    switch (flags & kIconMask) {
    case kQXMbIconHand:
        return "dialog-error";
    case kQXMbIconQuestion:
        return "dialog-question";
    case kQXMbIconExclamation:
        return "dialog-warning";
    case kQXMbIconAsterisk:
        return "dialog-information";
    default:
        return nullptr;
    }
}

// GTK 3 message dialogs show no icon of their own any more; the boxes keep the one their
// flags ask for, as on the other platform.
void ShowIcon(GtkWidget* box, unsigned flags) {
    const char* name = IconName(flags);
    if (name == nullptr)
        return;
    GtkWidget* image = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
    gtk_widget_show(image);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
    G_GNUC_END_IGNORE_DEPRECATIONS
}

GtkMessageType MessageType(unsigned flags) {
    switch (flags & kIconMask) {
    case kQXMbIconHand:
        return GTK_MESSAGE_ERROR;
    case kQXMbIconQuestion:
        return GTK_MESSAGE_QUESTION;
    case kQXMbIconExclamation:
        return GTK_MESSAGE_WARNING;
    case kQXMbIconAsterisk:
        return GTK_MESSAGE_INFO;
    default:
        return GTK_MESSAGE_OTHER;
    }
}

void AddButton(GtkWidget* box, QXLanguageBase base, unsigned textId, int answer) {
    gtk_dialog_add_button(GTK_DIALOG(box), qxplat::ToNarrow(QXLoadText(base, textId)).c_str(),
                          answer);
}

} // namespace

int QXLGtkShowMessageBox(GtkWindow* owner, const std::wstring& text, const std::wstring& caption,
                         unsigned flags, QXLanguageBase languageBase) {
    CQXLGtkMainThread::Check();
    if (owner != nullptr && !gtk_widget_get_visible(GTK_WIDGET(owner)))
        owner = nullptr;
    GtkWidget* box = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, MessageType(flags),
                                            GTK_BUTTONS_NONE, "%s", qxplat::ToNarrow(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), qxplat::ToNarrow(caption).c_str());
    ShowIcon(box, flags);
    gtk_window_set_position(GTK_WINDOW(box),
                            owner != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    if ((flags & kQXMbSystemModal) != 0)
        gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);

    int closeAnswer = kQXIdOk;
    switch (flags & kQXMbTypeMask) {
    case kQXMbOkCancel:
        AddButton(box, languageBase, kTextOk, kQXIdOk);
        AddButton(box, languageBase, kTextCancel, kQXIdCancel);
        closeAnswer = kQXIdCancel;
        break;
    case kQXMbYesNo:
        AddButton(box, languageBase, kTextYes, kQXIdYes);
        AddButton(box, languageBase, kTextNo, kQXIdNo);
        gtk_window_set_deletable(GTK_WINDOW(box), FALSE);
        closeAnswer = 0;
        break;
    default:
        AddButton(box, languageBase, kTextOk, kQXIdOk);
        break;
    }
    gtk_dialog_set_default_response(GTK_DIALOG(box),
                                    (flags & kQXMbTypeMask) == kQXMbYesNo ? kQXIdYes : kQXIdOk);

    int answer = 0;
    while (answer == 0) {
        const int response = gtk_dialog_run(GTK_DIALOG(box));
        answer = response > 0 ? response : closeAnswer;
    }
    gtk_widget_destroy(box);
    return answer;
}
