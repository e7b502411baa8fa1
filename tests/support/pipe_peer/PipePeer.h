#pragma once

#include <chrono>

// Connects to the launcher's end of the installer pipe and closes again without a message,
// as an installer that dies after connecting. False when there was nothing to connect to.
bool ConnectWithoutWriting(std::chrono::milliseconds timeout);
