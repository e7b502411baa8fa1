#include "platform/HttpFailure.h"

#include <curl/curl.h>

namespace qxplat {

HttpFailureKind ClassifyHttpError(unsigned long error) {
    switch (static_cast<CURLcode>(error)) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return HttpFailureKind::NameNotFound;
    case CURLE_COULDNT_CONNECT:
        return HttpFailureKind::ConnectionRefused;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpFailureKind::TimedOut;
    case CURLE_SSL_ISSUER_ERROR:
        return HttpFailureKind::UnknownAuthority;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return HttpFailureKind::CertificateRefused;
    case CURLE_SSL_CONNECT_ERROR:
        return HttpFailureKind::SecureChannel;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return HttpFailureKind::NotHttp;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return HttpFailureKind::ConnectionLost;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpFailureKind::Proxy;
    case CURLE_ABORTED_BY_CALLBACK:
        return HttpFailureKind::Stopped;
    default:
        return HttpFailureKind::Other;
    }
}

} // namespace qxplat
