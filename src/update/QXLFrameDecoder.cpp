#include "update/QXLFrameDecoder.h"

#include <vector>

#include "platform/Files.h"
#include "update/QXLFrameStream.h"

namespace {

// True when the file at path has the SHA-256 expected.
bool HasDigest(const std::wstring& path, const qxplat::Sha256Digest& expected) {
    const qxplat::FilePtr in = qxplat::OpenShared(path, "rb");
    qxplat::Sha256 sha;
    std::vector<char> block(1 << 16);
    std::size_t n = 0;
    while (in && (n = std::fread(block.data(), 1, block.size(), in.get())) > 0)
        sha.Update(block.data(), n);
    qxplat::Sha256Digest digest{};
    return in && !std::ferror(in.get()) && sha.Finish(digest) && digest == expected;
}

} // namespace

std::wstring CQXLFrameDecoder::Decode(const std::wstring& framePath,
                                      const qxplat::Sha256Digest& frameSha256,
                                      std::string_view base, const SQXLFrameTarget& target,
                                      std::string& head) {
    if (!HasDigest(framePath, frameSha256))
        return L"the frame's SHA-256 differs from the list";
    const qxplat::FilePtr in = qxplat::OpenShared(framePath, "rb");
    if (!in)
        return L"the frame cannot be opened";
    CQXLFrameStream stream(base, target);
    std::wstring failure = stream.Begin();
    std::vector<char> block(1 << 16);
    std::size_t n = 0;
    while (failure.empty() && (n = std::fread(block.data(), 1, block.size(), in.get())) > 0)
        failure = stream.Write(block.data(), n);
    if (failure.empty() && std::ferror(in.get()))
        failure = L"the frame cannot be read";
    if (failure.empty())
        failure = stream.End();
    head = stream.Head();
    return failure;
}
