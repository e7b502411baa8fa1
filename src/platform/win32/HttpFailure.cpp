#include "platform/HttpFailure.h"

#include <windows.h>
#include <wininet.h>

namespace qxplat {

HttpFailureKind ClassifyHttpError(unsigned long error) {
    switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return HttpFailureKind::NameNotFound;
    case ERROR_INTERNET_CANNOT_CONNECT:
        return HttpFailureKind::ConnectionRefused;
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT:
        return HttpFailureKind::TimedOut;
    case ERROR_INTERNET_INVALID_CA:
        return HttpFailureKind::UnknownAuthority;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return HttpFailureKind::CertificateName;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return HttpFailureKind::CertificateDate;
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
        return HttpFailureKind::CertificateRefused;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return HttpFailureKind::SecureChannel;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        return HttpFailureKind::NotHttp;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
        return HttpFailureKind::ConnectionLost;
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return HttpFailureKind::Stopped;
    default:
        return HttpFailureKind::Other;
    }
}

} // namespace qxplat
