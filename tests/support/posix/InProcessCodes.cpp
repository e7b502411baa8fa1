#include <curl/curl.h>

#include "support/InProcessTransport.h"

unsigned long InProcessErrorCode(InProcessFailure failure) {
    switch (failure) {
    case InProcessFailure::RefusedConnect:
        return CURLE_COULDNT_CONNECT;
    case InProcessFailure::TimeOut:
        return CURLE_OPERATION_TIMEDOUT;
    case InProcessFailure::Certificate:
        return CURLE_PEER_FAILED_VERIFICATION;
    case InProcessFailure::CutBody:
        return CURLE_PARTIAL_FILE;
    case InProcessFailure::Stopped:
        return CURLE_ABORTED_BY_CALLBACK;
    default:
        return CURLE_OK;
    }
}
