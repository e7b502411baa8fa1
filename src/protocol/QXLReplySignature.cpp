#include "protocol/QXLReplySignature.h"

#include "base/QXText.h"
#include "platform/Crypto.h"

namespace {

constexpr char kTextHead[] = "QXLauncher signed reply 2\n";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Seconds since 1970 fit in 15 digits for millions of years; more is no expiry of ours.
constexpr std::size_t kMaxExpiryDigits = 15;

int Base64Value(char c) {
    for (int i = 0; i < 64; ++i) {
        if (kAlphabet[i] == c)
            return i;
    }
    return -1;
}

bool AllDigits(std::string_view text) {
    if (text.empty() || text.size() > kMaxExpiryDigits)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// "2 EXPIRES SIGNATURE" with single blanks; anything else is malformed.
bool ParseHeader(const std::string& header, long long& expires,
                 std::vector<unsigned char>& signature) {
    const std::size_t first = header.find(' ');
    const std::size_t second = first == std::string::npos ? first : header.find(' ', first + 1);
    if (second == std::string::npos || header.compare(0, first, "2") != 0)
        return false;
    const std::string_view expiry(header.data() + first + 1, second - first - 1);
    if (!AllDigits(expiry))
        return false;
    expires = std::stoll(std::string(expiry));
    auto decoded = QXLDecodeBase64(std::string_view(header).substr(second + 1));
    if (!decoded || decoded->empty())
        return false;
    signature = std::move(*decoded);
    return true;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        if (c > 0x7F)
            return std::string(); // not base64
        narrow.push_back(static_cast<char>(c));
    }
    return narrow;
}

} // namespace

void QXLAddSignedField(std::string& text, std::string_view field) {
    text += std::to_string(field.size());
    text += ':';
    text.append(field.data(), field.size());
    text += '\n';
}

std::string QXLSignedReplyText(std::string_view service, std::string_view application,
                               std::string_view version, std::string_view user, long long expires,
                               std::string_view body) {
    std::string text = kTextHead;
    text.reserve(text.size() + service.size() + application.size() + version.size() + user.size() +
                 body.size() + 64);
    for (std::string_view field : {service, application, version, user})
        QXLAddSignedField(text, field);
    QXLAddSignedField(text, std::to_string(expires));
    QXLAddSignedField(text, body);
    return text;
}

std::optional<std::vector<unsigned char>> QXLDecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2 && (k == 3 || text[i + 3] == '=')) {
                values[k] = 0;
                ++padding;
                continue;
            }
            values[k] = Base64Value(c);
            if (values[k] < 0 || padding > 0)
                return std::nullopt;
        }
        const unsigned group = (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
        // Bits beyond the last byte must be zero: one text per byte string.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0))
            return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(group >> 16));
        if (padding < 2)
            bytes.push_back(static_cast<unsigned char>(group >> 8));
        if (padding < 1)
            bytes.push_back(static_cast<unsigned char>(group));
    }
    return bytes;
}

std::string QXLEncodeBase64(const std::vector<unsigned char>& bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const unsigned group =
            (bytes[i] << 16) | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

std::string QXLToHex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::optional<std::vector<unsigned char>> QXLFromHex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = QXHexDigit(text[i]);
        const int low = QXHexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return bytes;
}

const wchar_t* QXLSignatureVerdictText(QXLSignatureVerdict verdict) {
    switch (verdict) {
    case QXLSignatureVerdict::Valid:
        return L"valid";
    case QXLSignatureVerdict::Missing:
        return L"the reply carries no signature";
    case QXLSignatureVerdict::Malformed:
        return L"the signature header is malformed";
    case QXLSignatureVerdict::Expired:
        return L"the signature has expired";
    case QXLSignatureVerdict::Mismatch:
        return L"the signature does not match this request and body with any configured key";
    }
    return L"";
}

QXLSignatureVerdict QXLCheckReplySignature(const std::vector<std::wstring>& keys,
                                           const std::string* header,
                                           const SQXLSignedRequest& request, std::string_view body,
                                           long long now) {
    if (header == nullptr)
        return QXLSignatureVerdict::Missing;
    long long expires = 0;
    std::vector<unsigned char> signature;
    if (!ParseHeader(*header, expires, signature))
        return QXLSignatureVerdict::Malformed;
    const std::string text = QXLSignedReplyText(request.service, request.application,
                                                request.version, request.user, expires, body);
    bool signedHere = false;
    for (const std::wstring& key : keys) {
        const auto spki = QXLDecodeBase64(Narrow(key));
        if (spki && qxplat::VerifyP256Signature(*spki, text, signature)) {
            signedHere = true;
            break;
        }
    }
    if (!signedHere)
        return QXLSignatureVerdict::Mismatch;
    // Checked after the signature, so that a forged expiry reads as a forgery.
    return now > expires ? QXLSignatureVerdict::Expired : QXLSignatureVerdict::Valid;
}
