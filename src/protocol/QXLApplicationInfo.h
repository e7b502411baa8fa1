#pragma once

#include <string>

// What GetAppInf tells about the user's application, named after the reply's columns.
// Flags are 0/1; integers keep the low 32 bits of the reply's number. A day count that the
// reply leaves out, or gives without a number, is -1: no such limit.
struct CQXLApplicationInfo {
    int Update = 0;
    std::wstring Version;
    int ForceUpdate = 0;
    int ForceReboot = 0;
    std::wstring ApplicationName;
    std::wstring ApplicationLabel;
    int DaysBeforeForceUpdateValue = -1;
    std::wstring ReleaseNoteName;
    int UpdateOnExit = 0;
    int StartBureauByDefault = 0;
    int ZipEnable = 0;
    int DaysBeforeForceChangePasswordValue = -1;
    int DaysBeforeChangePasswordWarning = -1;
    int WarningForceUpdate = 0;
    // The server takes AppUpdateFailed and a duration on AppUpdateDone; absent: it does not.
    int UpdateReports = 0;
};
