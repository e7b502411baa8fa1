#include <gtest/gtest.h>

#include "app/QXLLoginOutcome.h"

// A refusal's code chooses the exchange that follows, and the error lines give the number the
// log has always shown: the server's code, 0 when logged in, -9999 without a code.
TEST(LoginOutcome, RefusalCodeChoosesTheExchangeAndTheLoggedNumber) {
    const struct {
        std::optional<int> code;
        QXLLogin result;
        int logged;
    } cases[] = {
        {-1207, QXLLogin::PasswordExpired, -1207},    {-205, QXLLogin::NewPinRequired, -205},
        {-202, QXLLogin::NextPasscodeRequired, -202}, {-1, QXLLogin::Refused, -1},
        {std::nullopt, QXLLogin::Refused, -9999},
    };
    for (const auto& c : cases) {
        const SQXLLoginOutcome outcome = SQXLLoginOutcome::FromRefusal(c.code);
        EXPECT_EQ(outcome.result, c.result) << c.logged;
        EXPECT_EQ(outcome.LogCode(), c.logged);
    }
    EXPECT_EQ(SQXLLoginOutcome::LoggedIn().LogCode(), 0);
    EXPECT_EQ(SQXLLoginOutcome::NotSent().LogCode(), -9999);
}
