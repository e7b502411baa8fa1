#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "platform/Process.h"
#include "platform/System.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr wchar_t kFluxClass[] = L"QXFluxWindowClassName";

// Polls until the window's presence is as wanted; false when 30 seconds were not enough.
bool WaitForWindow(bool present) {
    for (int i = 0; i < 300; ++i) {
        if (qxplat::WindowOfClassExists(kFluxClass) == present)
            return true;
        std::this_thread::sleep_for(milliseconds(100));
    }
    return false;
}

// The sample application in an installation of its own, on a display of the test's own, with
// QXFLUX_REPORT naming the file in which it describes its start.
TEST(WindowLookup, SeesTheSampleApplicationsWindowComeAndGo) {
    TempDir dir;
    const fs::path built = fs::path(qxplat::ModulePath()).parent_path().parent_path() / "tools" /
                           "qxflux" / QX_FLUX_NAME;
    const fs::path flux = dir.Path() / QX_FLUX_NAME;
    fs::copy_file(built, flux);
    WriteBytes(dir.Path() / "qxflux.version", "2.0\r\n");
    const std::optional<std::wstring> report = qxplat::Environment(L"QXFLUX_REPORT");
    ASSERT_TRUE(report.has_value());
    fs::remove(*report);

    EXPECT_FALSE(qxplat::WindowOfClassExists(kFluxClass));
    const std::vector<std::wstring> arguments{flux.wstring(), L"-CS", L"S1,jdoe", L"--close-after",
                                              L"4000"};
    const std::optional<qxplat::Process> process = qxplat::StartProcess(
        L"\"" + flux.wstring() + L"\" -CS S1,jdoe --close-after 4000", arguments);
    ASSERT_TRUE(process.has_value());
    EXPECT_TRUE(WaitForWindow(true));
    EXPECT_FALSE(qxplat::WindowOfClassExists(L"QXFluxWindowClass"));

    EXPECT_EQ(process->WaitForExit(milliseconds(60000)), 0);
    EXPECT_FALSE(qxplat::WindowOfClassExists(kFluxClass));
    const std::string text = ReadBytes(*report);
    EXPECT_NE(text.find("\nversion: 2.0\nsession: S1\nuser: jdoe\nargument: -CS\n"
                        "argument: S1,jdoe\nargument: --close-after\n"),
              std::string::npos)
        << text;
}

} // namespace
