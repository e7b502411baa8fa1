#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "platform/LanguageTexts.h"
#include "platform/Resources.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLSelectVersionDlg.h"
#include "ui/QXLWarnUpdateDlg.h"
#include "ui/QXLWindowLayouts.h"

namespace {

// One press of OK: what the edits hold before, and what the dialog must answer and leave.
struct OkCase {
    std::wstring first;
    std::wstring second;
    bool accepted;
    unsigned refusal;
    bool emptied;
};

// Presses OK with first and second in the dialog's two edits and checks verdict and edits.
void CheckOk(CQXLCredentialDlg& dialog, int firstId, int secondId, const OkCase& c) {
    QXLEditTexts edits{{firstId, c.first}, {secondId, c.second}};
    const SQXLDialogVerdict verdict = dialog.OnOk(edits);
    SCOPED_TRACE(testing::Message()
                 << "first \"" << std::string(c.first.begin(), c.first.end()) << "\" second \""
                 << std::string(c.second.begin(), c.second.end()) << "\"");
    EXPECT_EQ(verdict.accepted, c.accepted);
    EXPECT_EQ(verdict.refusalTextId, c.refusal);
    EXPECT_EQ(edits[firstId], c.emptied ? L"" : c.first);
    EXPECT_EQ(edits[secondId], c.emptied ? L"" : c.second);
}

// The little-endian number of size bytes at offset; 0 past the end.
unsigned long Field(std::string_view bytes, std::size_t offset, std::size_t size) {
    unsigned long value = 0;
    for (std::size_t i = offset + size; i-- > offset && offset + size <= bytes.size();)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

} // namespace

TEST(AuthenDlg, RefusesInOrderAndKeepsTheLoginOfARefusal) {
    CQXLAuthenDlg dialog(kQXEnglishBase);
    const int login = CQXLAuthenDlg::kEditLogin;
    const int password = CQXLAuthenDlg::kEditPassword;
    CheckOk(dialog, login, password, {L"", L"secret", false, 2, false});
    EXPECT_EQ(dialog.GetLogin(), L"");
    CheckOk(dialog, login, password, {L"demo", L"", false, 3, false});
    EXPECT_EQ(dialog.GetLogin(), L"demo"); // stored before the password was found missing
    EXPECT_EQ(dialog.GetPassword(), L"");
    CheckOk(dialog, login, password, {L" de mo ", L" p w ", true, 0, false});
    EXPECT_EQ(dialog.GetLogin(), L" de mo "); // blanks are kept as typed
    EXPECT_EQ(dialog.GetPassword(), L" p w ");

    // A missing edit counts as empty; a refusal of the login leaves both values alone.
    QXLEditTexts none;
    EXPECT_EQ(dialog.OnOk(none).refusalTextId, 2u);
    EXPECT_EQ(dialog.GetLogin(), L" de mo ");
    dialog.Clear();
    EXPECT_EQ(dialog.GetLogin(), L"");
    EXPECT_EQ(dialog.GetPassword(), L"");
}

TEST(AuthenDlg, OnlyTheFirst1023CharactersCount) {
    CQXLAuthenDlg dialog(kQXEnglishBase);
    QXLEditTexts edits{{CQXLAuthenDlg::kEditLogin, std::wstring(1500, L'l')},
                       {CQXLAuthenDlg::kEditPassword, std::wstring(1023, L'p') + L"tail"}};
    ASSERT_TRUE(dialog.OnOk(edits).accepted);
    EXPECT_EQ(dialog.GetLogin(), std::wstring(kQXLEditCapacity, L'l'));
    EXPECT_EQ(dialog.GetPassword(), std::wstring(kQXLEditCapacity, L'p'));
}

TEST(ChangePwdDlg, RefusesEmptyOrDifferentEntries) {
    CQXLChangePwdDlg dialog(kQXEnglishBase);
    const int password = CQXLChangePwdDlg::kEditPassword;
    const int verify = CQXLChangePwdDlg::kEditVerify;
    const std::vector<OkCase> cases = {
        {L"", L"new", false, 4, false},
        {L"new", L"", false, 4, false},
        {L"", L"", false, 4, false},
        {L"new1", L"new2", false, 5, true},
        {L"Secret", L"secret", false, 5, true}, // letter case counts
    };
    for (const OkCase& c : cases)
        CheckOk(dialog, password, verify, c);
    EXPECT_EQ(dialog.GetNewPassword(), L"");
    CheckOk(dialog, password, verify, {L"Secret", L"Secret", true, 0, false});
    EXPECT_EQ(dialog.GetNewPassword(), L"Secret");
    // A later refusal keeps the password accepted before.
    CheckOk(dialog, password, verify, {L"a", L"b", false, 5, true});
    EXPECT_EQ(dialog.GetNewPassword(), L"Secret");
}

TEST(ChangePwdDlg, HeadingFollowsItsTextId) {
    CQXLChangePwdDlg dialog(kQXFrenchBase);
    EXPECT_EQ(dialog.GetHeadingTextId(), 15u);
    EXPECT_EQ(dialog.ControlText(CQXLChangePwdDlg::kHeading), QXLoadText(kQXFrenchBase, 15));
    dialog.SetHeadingTextId(54);
    EXPECT_EQ(dialog.ControlText(CQXLChangePwdDlg::kHeading),
              L"Veuillez entrer un nouveau mot de passe ci-dessous :");
    EXPECT_EQ(dialog.ControlText(CQXLChangePwdDlg::kEditPassword), L"");
}

TEST(AceNewPinDlg, EveryRefusalEmptiesBothFields) {
    CQXLAceNewPinDlg dialog(kQXEnglishBase);
    const int pin = CQXLAceNewPinDlg::kEditPin;
    const int verify = CQXLAceNewPinDlg::kEditVerify;
    const std::vector<OkCase> cases = {
        {L"", L"1234", false, 39, true},       {L"123", L"123", false, 40, true},
        {L"12345", L"12345", false, 40, true}, {L"12a4", L"12a4", false, 41, true},
        {L"1 34", L"1 34", false, 41, true},   {L"\xFF11\xFF12\xFF13\xFF14", L"", false, 41, true},
        {L"1234", L"4321", false, 42, true},   {L"1234", L"", false, 42, true},
    };
    for (const OkCase& c : cases)
        CheckOk(dialog, pin, verify, c);
    EXPECT_EQ(dialog.GetNewPin(), L"");
    CheckOk(dialog, pin, verify, {L"0789", L"0789", true, 0, false});
    EXPECT_EQ(dialog.GetNewPin(), L"0789");
}

TEST(AceNextPasscodeDlg, NeedsSixDigitsOrMore) {
    CQXLAceNextPasscodeDlg dialog(kQXEnglishBase);
    const int code = CQXLAceNextPasscodeDlg::kEditPasscode;
    struct Case {
        std::wstring typed;
        unsigned refusal;
        bool emptied;
    };
    const std::vector<Case> cases = {
        {L"", 36, false},      {L"12345", 37, true},  {L"123 56", 38, true},
        {L"abcdef", 38, true}, {L"12345x", 38, true},
    };
    for (const Case& c : cases) {
        QXLEditTexts edits{{code, c.typed}};
        EXPECT_EQ(dialog.OnOk(edits).refusalTextId, c.refusal);
        EXPECT_EQ(edits[code], c.emptied ? L"" : c.typed);
    }
    QXLEditTexts edits{{code, L"1234567890"}};
    EXPECT_TRUE(dialog.OnOk(edits).accepted);
    EXPECT_EQ(dialog.GetNewPasscode(), L"1234567890");
}

// Every text id of every layout exists in the three blocks; French and Japanese come from
// their own blocks, ACE dialogs included.
TEST(DialogLayouts, TextsComeFromTheLanguageBlock) {
    CQXLAuthenDlg login(kQXFrenchBase);
    EXPECT_EQ(login.Caption(), L"Launcher");
    EXPECT_EQ(login.ControlText(102), L"Login :");
    EXPECT_EQ(login.ControlText(109), L"Mot de passe :");
    EXPECT_EQ(login.ControlText(kQXLButtonCancel), L"Annuler");
    EXPECT_EQ(login.ControlText(CQXLAuthenDlg::kEditLogin), L"");
    CQXLAceNewPinDlg pin(kQXFrenchBase);
    EXPECT_EQ(pin.ControlText(1008), L"Entrez un nouveau pin :");
    EXPECT_EQ(QXLoadText(pin.GetLanguageBase(), 40),
              L"Le pin doit faire 4 caract\u00e8res de long.");

    login.SetLanguageBase(kQXJapaneseBase);
    EXPECT_EQ(login.Caption(), L"\uFF97\uFF9D\uFF81\uFF6C\uFF70");
    EXPECT_EQ(login.ControlText(kQXLButtonCancel), L"\u53D6\u6D88");
    CQXLAceNextPasscodeDlg passcode(kQXJapaneseBase);
    EXPECT_EQ(passcode.ControlText(110), L"New passcode :");
    CQXLSelectVersionDlg version(kQXJapaneseBase);
    EXPECT_EQ(version.ControlText(CQXLSelectVersionDlg::kLabel), L"Please, select your version :");

    for (const QXLanguageBase base : {kQXEnglishBase, kQXFrenchBase, kQXJapaneseBase}) {
        for (const SQXLDialogLayout* layout :
             {&CQXLAuthenDlg(base).Layout(), &CQXLChangePwdDlg(base).Layout(),
              &CQXLAceNewPinDlg(base).Layout(), &CQXLAceNextPasscodeDlg(base).Layout(),
              &CQXLSelectVersionDlg::Layout(), &CQXLWarnUpdateDlg::Layout(), &QXLSplashLayout()}) {
            for (const SQXLControl& control : *layout) {
                if (control.textId != 0) {
                    EXPECT_FALSE(QXLoadText(base, control.textId).empty())
                        << layout->templateId << " " << control.id;
                }
            }
        }
    }
}

// Controls lie inside their dialog, ids are unique, and the edits the models read exist.
TEST(DialogLayouts, ControlsFitAndTheModelsFindTheirEdits) {
    CQXLAuthenDlg login(kQXEnglishBase);
    CQXLChangePwdDlg change(kQXEnglishBase);
    CQXLAceNewPinDlg pin(kQXEnglishBase);
    CQXLAceNextPasscodeDlg passcode(kQXEnglishBase);
    const std::vector<const SQXLDialogLayout*> layouts = {&login.Layout(),
                                                          &change.Layout(),
                                                          &pin.Layout(),
                                                          &passcode.Layout(),
                                                          &CQXLSelectVersionDlg::Layout(),
                                                          &CQXLWarnUpdateDlg::Layout(),
                                                          &QXLMainWindowLayout(),
                                                          &QXLSplashLayout()};
    std::set<int> templates;
    for (const SQXLDialogLayout* layout : layouts) {
        EXPECT_TRUE(templates.insert(layout->templateId).second);
        std::set<int> ids;
        for (const SQXLControl& control : *layout) {
            EXPECT_TRUE(ids.insert(control.id).second) << layout->templateId << " " << control.id;
            EXPECT_LE(control.x + control.width, layout->width) << control.id;
            // A drop-down's height includes its opened list, which may reach past the dialog.
            if (control.kind != QXLControlKind::DropDown) {
                EXPECT_LE(control.y + control.height, layout->height) << control.id;
            }
            EXPECT_EQ(layout->Find(control.id), &control);
        }
        EXPECT_EQ(layout->Find(4242), nullptr);
    }
    EXPECT_EQ(templates, (std::set<int>{101, 131, 134, 135, 136, 133, 144, 146}));

    const auto kindOf = [](const SQXLDialogLayout& layout, int id) {
        const SQXLControl* control = layout.Find(id);
        return control != nullptr ? control->kind : QXLControlKind::Label;
    };
    EXPECT_EQ(kindOf(login.Layout(), CQXLAuthenDlg::kEditLogin), QXLControlKind::Edit);
    EXPECT_EQ(kindOf(login.Layout(), CQXLAuthenDlg::kEditPassword), QXLControlKind::PasswordEdit);
    for (const int id : {CQXLChangePwdDlg::kEditPassword, CQXLChangePwdDlg::kEditVerify})
        EXPECT_EQ(kindOf(change.Layout(), id), QXLControlKind::PasswordEdit);
    for (const int id : {CQXLAceNewPinDlg::kEditPin, CQXLAceNewPinDlg::kEditVerify})
        EXPECT_EQ(kindOf(pin.Layout(), id), QXLControlKind::PasswordEdit);
    EXPECT_EQ(kindOf(passcode.Layout(), CQXLAceNextPasscodeDlg::kEditPasscode),
              QXLControlKind::PasswordEdit);
    EXPECT_EQ(kindOf(CQXLWarnUpdateDlg::Layout(), CQXLWarnUpdateDlg::kButtonYes),
              QXLControlKind::DefaultButton);
    EXPECT_EQ(kindOf(CQXLWarnUpdateDlg::Layout(), kQXLButtonOk), QXLControlKind::DefaultButton);

    // The picture area holds the built-in bitmap at 1.5 pixels across and 1.625 down per unit.
    const SQXLControl* picture = QXLSplashLayout().Find(kQXLSplashPicture);
    ASSERT_NE(picture, nullptr);
    EXPECT_GE(picture->width * 3 / 2, kQXLSplashBitmapWidth);
    EXPECT_GE(picture->height * 13 / 8, kQXLSplashBitmapHeight);
}

TEST(SelectVersionDlg, OkTakesTheSelectedEntryAndDefaultNone) {
    const std::vector<std::wstring> versions = {L"11.0", L"11.1", L"12.0 beta"};
    CQXLSelectVersionDlg dialog(kQXEnglishBase);
    EXPECT_TRUE(dialog.Versions().empty()); // no list set yet
    EXPECT_EQ(dialog.OnInit(), -1);
    EXPECT_EQ(dialog.OnOk(-1), 1);
    EXPECT_EQ(dialog.GetSelection(), L"");

    dialog.SetVersionList(&versions);
    EXPECT_EQ(dialog.OnInit(), 0);
    EXPECT_EQ(dialog.OnOk(2), 1);
    EXPECT_EQ(dialog.GetSelection(), L"12.0 beta");
    EXPECT_EQ(dialog.OnInit(), 0);
    EXPECT_EQ(dialog.GetSelection(), L""); // every showing starts without a choice
    EXPECT_EQ(dialog.OnOk(-1), 1);
    EXPECT_EQ(dialog.GetSelection(), L"11.0");
    EXPECT_EQ(dialog.OnOk(3), 1); // past the end: the first, as with no selection
    EXPECT_EQ(dialog.GetSelection(), L"11.0");
    EXPECT_EQ(dialog.OnDefault(), 2);
    EXPECT_EQ(dialog.GetSelection(), L"");
    EXPECT_EQ(dialog.ControlText(CQXLSelectVersionDlg::kButtonDefault), L"Default");
    EXPECT_EQ(dialog.ControlText(CQXLSelectVersionDlg::kList), L"");
}

// The pictures the build draws are the files their resources and views expect.
TEST(BuiltInPictures, HaveTheirFormatSizeAndDepth) {
    const std::string_view bmp = qxplat::BuiltInSplashBitmap();
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Field(bmp, 2, 4), bmp.size());
    EXPECT_EQ(Field(bmp, 18, 4), static_cast<unsigned long>(kQXLSplashBitmapWidth));
    EXPECT_EQ(Field(bmp, 22, 4), static_cast<unsigned long>(kQXLSplashBitmapHeight));
    EXPECT_EQ(Field(bmp, 28, 2), 24u);
    // Rows of 506 pixels padded to 4 bytes, after the two headers.
    EXPECT_EQ(bmp.size(), 54u + 1520u * kQXLSplashBitmapHeight);

    const std::string_view ico = qxplat::BuiltInIcon();
    ASSERT_GT(ico.size(), 6u + 2 * 16u);
    EXPECT_EQ(Field(ico, 0, 2), 0u);
    EXPECT_EQ(Field(ico, 2, 2), 1u); // an icon
    ASSERT_EQ(Field(ico, 4, 2), 2u);
    for (std::size_t image = 0; image < 2; ++image) {
        const std::size_t entry = 6 + 16 * image;
        EXPECT_EQ(Field(ico, entry, 1), 32u);
        EXPECT_EQ(Field(ico, entry + 1, 1), 32u);
        EXPECT_EQ(Field(ico, entry + 6, 2), image == 0 ? 8u : 32u);
        EXPECT_LE(Field(ico, entry + 12, 4) + Field(ico, entry + 8, 4), ico.size());
    }
}
