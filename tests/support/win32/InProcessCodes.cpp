#include <windows.h>
#include <wininet.h>

#include "support/InProcessTransport.h"

unsigned long InProcessErrorCode(InProcessFailure failure) {
    // In the order of InProcessFailure.
    static const DWORD kCodes[] = {ERROR_SUCCESS, ERROR_INTERNET_CANNOT_CONNECT,
                                   ERROR_INTERNET_TIMEOUT, ERROR_INTERNET_INVALID_CA,
                                   ERROR_INTERNET_CONNECTION_RESET};
    return kCodes[static_cast<int>(failure)];
}
