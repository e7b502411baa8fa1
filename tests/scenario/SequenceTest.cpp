#include <gtest/gtest.h>

#include "scenario/LaunchScenario.h"
#include "support/QxServer.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLSelectVersionDlg.h"

namespace {

const wchar_t kDemo[] = L"-serverLogin demo -serverPassword demo";

bool Has(const std::vector<std::string>& arguments, const std::string& argument) {
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
}

// The main sequence's steps and early exits against the fixture's server.
class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (m_server.Url().empty())
            GTEST_SKIP();
        PrepareApplications(m_server);
        m_before = m_server.LogLineCount();
    }

    std::unique_ptr<LaunchScenario> Scenario(const std::string& application,
                                             const std::string& launcherLines = "") {
        auto scenario = std::make_unique<LaunchScenario>(
            LaunchScenario::Config(m_server.Url(), application, launcherLines));
        scenario->Windows().Queue({false});
        return scenario;
    }
    testing::AssertionResult Served(const std::string& service, std::size_t expected) const {
        return ::Served(m_server, m_before, service, expected);
    }

    QxServer m_server;
    std::size_t m_before = 0;
};

} // namespace

TEST_F(SequenceTest, AnOpenPrimaryWindowEndsTheRunBeforeAnyRequest) {
    LaunchScenario run(LaunchScenario::Config(m_server.Url(), "SeqStay"));
    run.Windows().SetDefault(true);
    EXPECT_EQ(run.Run(kDemo), 0);
    EXPECT_TRUE(run.LogHas("END : Qxflux.exe is already running"));
    const std::vector<SQXLMessageBoxRecord> boxes = run.Ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Narrow(boxes[0].text), EnglishText(7));
    EXPECT_EQ(Narrow(boxes[0].caption), EnglishText(1));
    EXPECT_EQ(boxes[0].flags, kQXMbOk | kQXMbIconExclamation | kQXMbSystemModal);
    EXPECT_EQ(boxes[0].owner, QXLBoxOwner::ProgressWindow);
    EXPECT_TRUE(Served("", 0)) << "no request at all";
    EXPECT_TRUE(run.Starts().empty());
    EXPECT_EQ(run.WindowEvents().back(), "close");
}

TEST_F(SequenceTest, WithoutAServerTheApplicationStartsOfflineAndTheExitCodeIsOne) {
    LaunchScenario run(LaunchScenario::Config(L"", "SeqStay"));
    run.Windows().Queue({false});
    EXPECT_EQ(run.Run(kDemo), 1);
    EXPECT_TRUE(run.LogHas("END : no URL parameter in qxurl.net"));
    ASSERT_EQ(run.Starts().size(), 1u);
    EXPECT_TRUE(Has(run.Starts()[0], "-b"));
    EXPECT_EQ(run.Positions(), (std::vector<int>{1000}));
    EXPECT_TRUE(Served("", 0));
}

TEST_F(SequenceTest, AFailedGetAppInfStillStartsTheApplicationWithoutFurtherSteps) {
    auto run = Scenario("SeqStay", "ChooseVersion=Yes\r\n");
    m_server.Fault("GetAppInf", "status=500");
    EXPECT_EQ(run->Run(kDemo), 0);
    EXPECT_TRUE(Served("GetAppInf", 1));
    EXPECT_TRUE(Served("GetAppVersionList", 0));
    EXPECT_TRUE(Served("GetAppPrimary", 0));
    EXPECT_TRUE(run->Ui().Dialogs().empty());
    ASSERT_EQ(run->Starts().size(), 1u);
    EXPECT_EQ(run->Positions(), (std::vector<int>{20, 40, 60, 1000}));
}

TEST_F(SequenceTest, APasswordDueInAsManyDaysAsTheWarningAsksToChangeIt) {
    auto run = Scenario("SeqStay");
    run->Ui().QueueAnswer(kQXIdYes);
    run->TypeAndConfirm(CQXLChangePwdDlg::kTemplate, {{CQXLChangePwdDlg::kEditPassword, L"renewed"},
                                                      {CQXLChangePwdDlg::kEditVerify, L"renewed"}});
    EXPECT_EQ(run->Run(L"-serverLogin seq-warned -serverPassword warned"), 0);
    const std::vector<SQXLMessageBoxRecord> boxes = run->Ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(Narrow(boxes[0].text),
              "Your password will expire in 14 day(s). Do you want to change it now?");
    EXPECT_EQ(boxes[0].flags, kQXMbYesNo | kQXMbIconQuestion | kQXMbSystemModal);
    EXPECT_EQ(Narrow(boxes[1].text), EnglishText(55));
    EXPECT_EQ(run->Process().GetChangePwdDlg().GetHeadingTextId(), 54u);
    EXPECT_TRUE(run->LogHas("Change password done"));
    EXPECT_TRUE(Served("ChangePassword", 1));
    EXPECT_EQ(run->Starts().size(), 1u);
}

TEST_F(SequenceTest, TheChosenVersionGoesWithTheLaterRequests) {
    auto chosen = Scenario("SeqStay", "ChooseVersion=Yes\r\n");
    chosen->Ui().QueueVersionEntry({true, 1});
    EXPECT_EQ(chosen->Run(kDemo), 0);
    EXPECT_TRUE(chosen->LogHas("Selected version : 2.0"));
    EXPECT_EQ(chosen->Process().GetApplication().Info().Version, L"2.0");
    ASSERT_EQ(chosen->Starts().size(), 1u);
    EXPECT_TRUE(Has(chosen->Starts()[0], "-v2")) << "GetAppPrimary answered for 2.0";

    auto standard = Scenario("SeqStay", "ChooseVersion=Yes\r\n");
    standard->Ui().QueueVersionEntry({false, -1});
    EXPECT_EQ(standard->Run(kDemo), 0);
    EXPECT_TRUE(standard->LogHas("No selected version, using default"));
    ASSERT_EQ(standard->Starts().size(), 1u);
    EXPECT_FALSE(Has(standard->Starts()[0], "-v2"));

    auto unasked = Scenario("SeqStay");
    EXPECT_EQ(unasked->Run(kDemo), 0);
    EXPECT_TRUE(unasked->Ui().Dialogs().empty());
    EXPECT_TRUE(Served("GetAppVersionList", 2));
}

TEST_F(SequenceTest, ADelayedUpdateWaitsForTheApplicationToEndAndLogsInAgainSilently) {
    auto run = Scenario("SeqLater");
    // The window appears at once, then stays for two more looks.
    run->Windows().Queue({true, true, true, false});
    run->TypeAndConfirm(CQXLAuthenDlg::kTemplate, {{CQXLAuthenDlg::kEditLogin, L"demo"},
                                                   {CQXLAuthenDlg::kEditPassword, L"demo"}});
    EXPECT_EQ(run->Run(L""), 0);
    EXPECT_EQ(run->DialogTemplates(), (std::vector<int>{131})) << "the second login asks nothing";
    EXPECT_TRUE(Served("P3Login", 2));
    // The start's check of the new process, then two looks at the window that stays.
    EXPECT_EQ(run->Clock().Pauses(), (std::vector<long long>{1000, 5000, 5000}));
    EXPECT_TRUE(run->LogHas("Process qxflux.exe has stopped, starting delayed update"));
    EXPECT_TRUE(run->LogHas("EXIT : no update needed"));
    EXPECT_TRUE(run->LogHas("EXIT : logout after a delayed update"));
    EXPECT_TRUE(Served("Logout", 1));
    EXPECT_EQ(run->Starts().size(), 1u) << "the application is not started again";
    EXPECT_EQ(run->WindowEvents(),
              (std::vector<std::string>{"range 0-1000", "show", "hide", "show", "close"}));
    EXPECT_EQ(run->Positions(), (std::vector<int>{20, 40, 60, 80, 130, 1000, 20, 40, 1000}));
}

TEST_F(SequenceTest, TheWindowWaitEndsWhenTheStartedApplicationHasEnded) {
    auto run = Scenario("SeqStay");
    run->Windows().SetDefault(false);
    EXPECT_EQ(run->Run(kDemo), 0);
    EXPECT_TRUE(run->LogHas("has ended without opening its window"));
    EXPECT_FALSE(run->LogHas("Window of qxflux.exe has been found"));
    for (const long long pause : run->Clock().Pauses())
        EXPECT_EQ(pause, 1000);
    EXPECT_EQ(run->WindowEvents().back(), "close");
}
