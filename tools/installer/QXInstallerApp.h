#pragma once

#include <string>
#include <vector>

// The installer program, as its command line (without the program path) asks:
//   -QXL          apply the instruction file, then send the verdict on the installer pipe
//   -SID:id,user  wait until the launcher has ended, apply, start the launcher again
//   (nothing)     apply (the run at the next logon)
// Its exit code: 0 when the installation was applied, 1 when it failed, 2 for an unknown
// command line. Environment QXINSTALLER_FAULT=step[#n] ends the process abruptly after the
// n-th (first) step of that name, as a crash there would.
int RunInstallerApp(const std::vector<std::wstring>& arguments);
