#include "ui/QXLWindowLayouts.h"

#include <iterator>

namespace {

// The label has no id of its own, as a template's static texts have none.
constexpr int kNoId = -1;
constexpr unsigned kTextProcessingFiles = 21;

constexpr SQXLControl kMainControls[] = {
    {kNoId, QXLControlKind::Label, 7, 8, 152, 8, 0},
};

constexpr SQXLDialogLayout kMainLayout{kQXLMainWindowTemplate,  166, 24, 0, kMainControls,
                                       std::size(kMainControls)};

constexpr SQXLControl kSplashControls[] = {
    {kQXLSplashPicture, QXLControlKind::Picture, 0, 0, 338, 239, 0},
    {kQXLSplashStatus, QXLControlKind::Label, 4, 240, 333, 9, kTextProcessingFiles},
    {kQXLSplashProgress, QXLControlKind::ProgressBar, 0, 249, 337, 9, 0},
};

constexpr SQXLDialogLayout kSplashLayout{kQXLSplashTemplate,        338, 258, 0, kSplashControls,
                                         std::size(kSplashControls)};

} // namespace

const SQXLDialogLayout& QXLMainWindowLayout() { return kMainLayout; }

const SQXLDialogLayout& QXLSplashLayout() { return kSplashLayout; }
