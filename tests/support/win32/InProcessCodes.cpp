#include <windows.h>
#include <wininet.h>

#include "support/InProcessTransport.h"

unsigned long InProcessErrorCode(InProcessFailure failure) {
    switch (failure) {
    case InProcessFailure::RefusedConnect:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case InProcessFailure::TimeOut:
        return ERROR_INTERNET_TIMEOUT;
    case InProcessFailure::Certificate:
        return ERROR_INTERNET_INVALID_CA;
    case InProcessFailure::CutBody:
        return ERROR_INTERNET_CONNECTION_RESET;
    case InProcessFailure::Stopped:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    default:
        return ERROR_SUCCESS;
    }
}
