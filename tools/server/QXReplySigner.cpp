#include "QXReplySigner.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "protocol/QXLReplySignature.h"

namespace fs = std::filesystem;

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

// Per signed service: the form fields that name the application and the version asked for
// (empty: the request names none).
struct SignedService {
    const char* service;
    const char* application;
    const char* version;
};
constexpr SignedService kSignedServices[] = {
    {"GetAppInf", "application", ""},
    {"GetAppVersionList", "applicationname", ""},
    {"GetAppPrimary", "applicationname", "versionname"},
    {"GetAppChecksum", "application", "version"},
};

bool IsP256(EVP_PKEY* key) {
    char group[64] = {};
    std::size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") &&
           EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
           std::strcmp(group, "prime256v1") == 0;
}

std::string PublicKeyText(EVP_PKEY* key) {
    const int length = i2d_PUBKEY(key, nullptr);
    if (length <= 0)
        throw std::runtime_error("cannot encode the public key");
    std::vector<unsigned char> der(static_cast<std::size_t>(length));
    unsigned char* cursor = der.data();
    i2d_PUBKEY(key, &cursor);
    return QXLEncodeBase64(der);
}

} // namespace

struct CQXReplySigner::Key {
    KeyPtr key;
};

CQXReplySigner::CQXReplySigner(const fs::path& file) : m_key(std::make_unique<Key>()) {
    std::unique_ptr<std::FILE, FileClose> in(std::fopen(file.c_str(), "rb"));
    if (!in)
        throw std::runtime_error("cannot read the signing key " + file.string());
    m_key->key.reset(PEM_read_PrivateKey(in.get(), nullptr, nullptr, nullptr));
    if (!m_key->key || !IsP256(m_key->key.get()))
        throw std::runtime_error(file.string() + " is not an ECDSA P-256 private key in PEM");
}

CQXReplySigner::~CQXReplySigner() = default;

void CQXReplySigner::Sign(const std::string& service, const CQXForm& form, SQXReply& reply,
                          std::int64_t now) const {
    if (reply.status != 200 || !reply.file.empty() || reply.refusal != 0)
        return;
    for (const SignedService& entry : kSignedServices) {
        if (service != entry.service)
            continue;
        const std::string application = form.Get(entry.application);
        const std::string version = *entry.version ? form.Get(entry.version) : std::string();
        const std::int64_t expires = now + kLifetime;
        reply.signature = Signature(service, application, version, reply.user, reply.body, expires);
        reply.legacySignature = LegacySignature(service, application, version, reply.body, expires);
        return;
    }
}

std::string CQXReplySigner::Signature(const std::string& service, const std::string& application,
                                      const std::string& version, const std::string& user,
                                      const std::string& body, std::int64_t expires) const {
    return "2 " + std::to_string(expires) + " " +
           SignText(QXLSignedReplyText(service, application, version, user, expires, body));
}

std::string CQXReplySigner::LegacySignature(const std::string& service,
                                            const std::string& application,
                                            const std::string& version, const std::string& body,
                                            std::int64_t expires) const {
    std::string text = "QXLauncher signed reply 1\n";
    for (const std::string& field : {service, application, version, std::to_string(expires), body})
        QXLAddSignedField(text, field);
    return "1 " + std::to_string(expires) + " " + SignText(text);
}

std::string CQXReplySigner::SignText(const std::string& text) const {
    std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
    std::size_t length = 0;
    if (!context ||
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, m_key->key.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length,
                       reinterpret_cast<const unsigned char*>(text.data()), text.size()) != 1)
        throw std::runtime_error("cannot sign the reply");
    std::vector<unsigned char> signature(length);
    if (EVP_DigestSign(context.get(), signature.data(), &length,
                       reinterpret_cast<const unsigned char*>(text.data()), text.size()) != 1)
        throw std::runtime_error("cannot sign the reply");
    signature.resize(length);
    return QXLEncodeBase64(signature);
}

void CQXReplySigner::GenerateKeyPair(const fs::path& folder) {
    const fs::path privatePath = folder / "signing-key.pem";
    const fs::path publicPath = folder / "public-key.txt";
    fs::create_directories(folder);
    if (fs::exists(privatePath) || fs::exists(publicPath))
        throw std::runtime_error("a key pair is already in " + folder.string() +
                                 ": remove it first");
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!key)
        throw std::runtime_error("cannot generate a P-256 key");
    // Created private from the start: the key is never readable by others, not even briefly.
    const int descriptor = open(privatePath.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    std::unique_ptr<std::FILE, FileClose> out(descriptor < 0 ? nullptr : fdopen(descriptor, "wb"));
    if (!out) {
        if (descriptor >= 0)
            close(descriptor);
        throw std::runtime_error("cannot write " + privatePath.string());
    }
    if (PEM_write_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        std::fclose(out.release()) != 0)
        throw std::runtime_error("cannot write " + privatePath.string());
    std::ofstream publicKey(publicPath);
    publicKey << PublicKeyText(key.get()) << '\n';
    if (!publicKey.flush())
        throw std::runtime_error("cannot write " + publicPath.string());
}
