#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "QXForm.h"
#include "QXReply.h"

// The header of format-1 signatures, which do not name the user: kept for launchers that
// predate the format-2 kQXLSignatureHeader.
inline constexpr char kQXLegacySignatureHeader[] = "X-QX-Signature";

// Signs the replies that decide what a launcher installs or runs (GetAppInf,
// GetAppVersionList, GetAppPrimary, GetAppChecksum) with the site's ECDSA P-256 key; the
// signatures expire an hour after the reply. The signed text is the launcher's own
// (protocol/QXLReplySignature.h). Safe from any thread.
class CQXReplySigner {
public:
    // Reads the PEM private key at file; throws std::runtime_error unless it is a P-256 key.
    explicit CQXReplySigner(const std::filesystem::path& file);
    ~CQXReplySigner();
    CQXReplySigner(const CQXReplySigner&) = delete;
    CQXReplySigner& operator=(const CQXReplySigner&) = delete;

    // Sets reply.signature and reply.legacySignature when service is one of the signed
    // services and reply is a 200 answer with a body, binding the application and version that
    // form names and (format 2) reply.user; now is seconds since 1970.
    void Sign(const std::string& service, const CQXForm& form, SQXReply& reply,
              std::int64_t now) const;
    // The format-2 header value for body: "2 EXPIRES BASE64".
    std::string Signature(const std::string& service, const std::string& application,
                          const std::string& version, const std::string& user,
                          const std::string& body, std::int64_t expires) const;
    // The format-1 header value, without the user: "1 EXPIRES BASE64".
    std::string LegacySignature(const std::string& service, const std::string& application,
                                const std::string& version, const std::string& body,
                                std::int64_t expires) const;

    // Writes a new key pair into folder: signing-key.pem (private, mode 0600) and
    // public-key.txt (the base64 DER SubjectPublicKeyInfo on one line). Refuses to overwrite.
    static void GenerateKeyPair(const std::filesystem::path& folder);

    // Seconds a signature stays valid.
    static constexpr std::int64_t kLifetime = 3600;

private:
    // The base64 DER signature of text.
    std::string SignText(const std::string& text) const;

    struct Key;
    std::unique_ptr<Key> m_key;
};
