#include "app/QXLLoginOutcome.h"

namespace {
constexpr int kNoServerCode = -9999;
constexpr int kPasswordExpired = -1207;
constexpr int kNewPinRequired = -205;
constexpr int kNextPasscodeRequired = -202;
} // namespace

SQXLLoginOutcome SQXLLoginOutcome::FromRefusal(std::optional<int> code) {
    switch (code.value_or(0)) {
    case kPasswordExpired:
        return {QXLLogin::PasswordExpired, code};
    case kNewPinRequired:
        return {QXLLogin::NewPinRequired, code};
    case kNextPasscodeRequired:
        return {QXLLogin::NextPasscodeRequired, code};
    default:
        return {QXLLogin::Refused, code};
    }
}

int SQXLLoginOutcome::LogCode() const {
    if (IsLoggedIn())
        return 0;
    return serverCode.value_or(kNoServerCode);
}
