#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Signed replies: a site that signs adds the header kQXLSignatureHeader to every reply that
// decides what is installed or run. Its value is "2 EXPIRES SIGNATURE": the format number,
// the expiry in seconds since 1970 (UTC) and the base64 of a DER ECDSA P-256 signature
// (SHA-256) of QXLSignedReplyText. The body stays as it is, so launchers without a key read it
// as before. Format 1 (another header, without the user) is left to launchers that predate
// this one; a launcher that checks accepts only format 2.
inline constexpr char kQXLSignatureHeader[] = "X-QX-Signature-2";

// The signed text: the line "QXLauncher signed reply 2", then six fields, each written as its
// byte count in decimal, ":", its bytes and a line feed: the service name, the application
// and the version named in the request (empty when the request names none), the user the
// session belongs to (as the launcher sent it at login), the expiry in decimal, and the reply
// body exactly as sent. Texts are in UTF-8.
std::string QXLSignedReplyText(std::string_view service, std::string_view application,
                               std::string_view version, std::string_view user, long long expires,
                               std::string_view body);

// Writes field as its byte count in decimal, ":", its bytes and a line feed.
void QXLAddSignedField(std::string& text, std::string_view field);

// Strict base64 (padding required, no blanks); nothing on any other text.
std::optional<std::vector<unsigned char>> QXLDecodeBase64(std::string_view text);
std::string QXLEncodeBase64(const std::vector<unsigned char>& bytes);

// The lower-case hex text of bytes, and back: exactly 2 * size hex digits, either case.
std::string QXLToHex(const unsigned char* bytes, std::size_t size);
std::optional<std::vector<unsigned char>> QXLFromHex(std::string_view text);

// Why a reply was refused, or Valid.
enum class QXLSignatureVerdict { Valid, Missing, Malformed, Expired, Mismatch };

// The English reason of a refusal, for the error line.
const wchar_t* QXLSignatureVerdictText(QXLSignatureVerdict verdict);

// What the request asked, which its reply's signature must name.
struct SQXLSignedRequest {
    std::string service;
    std::string application;
    std::string version;
    std::string user;
};

// Checks header (null when the reply had none) and body against request with the configured
// keys (base64 SPKI texts; one that does not decode verifies nothing). now is seconds since
// 1970; a reply whose expiry has passed is Expired.
QXLSignatureVerdict QXLCheckReplySignature(const std::vector<std::wstring>& keys,
                                           const std::string* header,
                                           const SQXLSignedRequest& request, std::string_view body,
                                           long long now);
