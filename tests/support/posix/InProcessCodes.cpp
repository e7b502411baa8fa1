#include <curl/curl.h>

#include "support/InProcessTransport.h"

unsigned long InProcessErrorCode(InProcessFailure failure) {
    // In the order of InProcessFailure.
    static const CURLcode kCodes[] = {CURLE_OK, CURLE_COULDNT_CONNECT, CURLE_OPERATION_TIMEDOUT,
                                      CURLE_PEER_FAILED_VERIFICATION, CURLE_PARTIAL_FILE};
    return kCodes[static_cast<int>(failure)];
}
