#pragma once

// Restarting the machine.
namespace qxplat {

// Asks the system to restart, letting running programs save their work (Windows: the
// shutdown privilege, then ExitWindowsEx with EWX_REBOOT | EWX_FORCEIFHUNG; Linux: logind's
// Reboot with interactive authorisation). True when the request was accepted.
bool RestartSystem();

} // namespace qxplat
