#include "update/QXLFrameFetch.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/QXText.h"
#include "config/QXUrlParser.h"
#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLReplySignature.h"
#include "update/QXChecksum.h"
#include "update/QXLFile.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFileSet.h"
#include "update/QXLFrameDecoder.h"
#include "update/QXLFrameStream.h"

namespace {

// The frame's name in the download directory, beside the file it becomes.
constexpr wchar_t kFrameSuffix[] = L".qxframe";
// Installed copies that patches fetched side by side read whole: at most this much at once.
constexpr std::uint64_t kBaseBudgetBytes = 64ull << 20;

std::optional<qxplat::Sha256Digest> Digest(const std::wstring& hex) {
    const auto bytes = QXLFromHex(qxplat::ToNarrow(hex));
    qxplat::Sha256Digest digest{};
    if (!bytes || bytes->size() != digest.size())
        return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), digest.begin());
    return digest;
}

void Remove(const std::wstring& path) {
    std::error_code ignored;
    std::filesystem::remove(QXFsPath(path), ignored);
}

} // namespace

CQXLFrameFetch::CQXLFrameFetch(CQXLLog& log, CQXLFileFetcher& fetcher, CQXLDownloader& downloader)
    : m_log(log), m_fetcher(fetcher), m_downloader(downloader),
      m_bases(std::make_shared<CQXLBaseBudget>(kBaseBudgetBytes)) {}

std::unique_ptr<CQXLFrameFetch> CQXLFrameFetch::Sibling(CQXLFileFetcher& fetcher) const {
    auto sibling = std::make_unique<CQXLFrameFetch>(m_log, fetcher, m_downloader);
    sibling->m_offers = m_offers;
    sibling->m_bases = m_bases;
    return sibling;
}

bool CQXLFrameFetch::Fetch(const CQXLFile& file, CQXLDownloadMonitor* monitor) {
    if (m_offers.empty() || QXLIsInstallerFile(file.FileName()))
        return false;
    const auto found = m_offers.find(QXLFrameOfferKey(file.ServerPath(), file.FileName()));
    if (found == m_offers.end())
        return false;
    const SQXLFrameOffer& offer = found->second;
    std::optional<CQXLBaseBudget::Hold> held;
    if (offer.patch.size > 0)
        held.emplace(*m_bases, offer.baseSize);
    std::string base;
    const bool patch = offer.patch.size > 0 && ReadBase(file, offer, base);
    if (!patch)
        held.reset();
    const SQXLFrame& frame = patch ? offer.patch : offer.packed;
    if (frame.size == 0) {
        m_log.LogInfo(L"%s : whole download, the installed copy is not the patch's base",
                      file.FileName());
        return false;
    }
    const std::wstring failure = Apply(file, frame, patch ? &offer : nullptr, base, monitor);
    if (!failure.empty()) {
        m_log.LogWarning(L"%s : whole download, %s", file.FileName(), failure);
        return false;
    }
    m_log.LogInfo(patch ? L"%s rebuilt from a patch of %d bytes" : L"%s unpacked from %d bytes",
                  file.FileName(), static_cast<long long>(frame.size));
    return true;
}

bool CQXLFrameFetch::ReadBase(const CQXLFile& file, const SQXLFrameOffer& offer,
                              std::string& base) {
    const std::wstring path =
        m_fetcher.GetInstallationDirectory() + file.FilePath() + file.FileName();
    const qxplat::FilePtr in = qxplat::OpenShared(path, "rb");
    if (!in || qxplat::OpenFileLength(in.get()) != offer.baseSize)
        return false;
    base.resize(static_cast<std::size_t>(offer.baseSize));
    if (std::fread(base.data(), 1, base.size(), in.get()) != base.size())
        return false;
    CQXChecksum checksum;
    checksum.Update(base.data(), base.size());
    return checksum.Value() == offer.baseChecksum;
}

std::wstring CQXLFrameFetch::Apply(const CQXLFile& file, const SQXLFrame& frame,
                                   const SQXLFrameOffer* patchOf, const std::string& base,
                                   CQXLDownloadMonitor* monitor) {
    SQXLFrameTarget target{m_fetcher.GetDownloadDirectory() + file.FilePath() + file.FileName(),
                           file.FileSize(), file.FileChecksum(), std::nullopt};
    CQXUrlParser* configuration = m_downloader.GetConfiguration();
    const bool signedList = configuration != nullptr && configuration->VerifiesSignatures();
    if (signedList && !(target.sha256 = Digest(file.Sha256())))
        return L"the signed list gives no SHA-256 for the file";

    // The frame travels as a file of its own, checked against its own row values.
    CQXLFile part(m_log);
    part.SetFile(file.FileName() + kFrameSuffix, frame.checksum, frame.size, ModeDelta, 0, 0,
                 file.FilePath(), file.ServerPath());
    part.SetSha256(frame.sha256);
    SQXLFrameRequest request{QXLFrameOfferKey(file.ServerPath(), file.FileName()), L"", L""};
    if (patchOf != nullptr) {
        request.baseSize = std::to_wstring(patchOf->baseSize);
        request.baseChecksum = std::to_wstring(patchOf->baseChecksum);
    }
    // A frame that a signed list vouches for is checked whole, by its SHA-256, before a byte of
    // it is decoded: the Windows build's decoder lacks a later fix against hostile frames.
    // Without a signature the frame is trusted as much as the whole file would be, and is
    // decoded as it arrives.
    std::string head;
    std::wstring failure = signedList
                               ? FetchThenDecode(part, frame, request, base, target, monitor, head)
                               : FetchDecoding(part, request, base, target, monitor, head);
    if (failure.empty() && file.IsProgram(head) && !qxplat::MakeExecutable(target.path))
        failure = L"the result cannot be made executable";
    if (!failure.empty())
        Remove(target.path);
    return failure;
}

std::wstring CQXLFrameFetch::FetchThenDecode(const CQXLFile& part, const SQXLFrame& frame,
                                             const SQXLFrameRequest& request,
                                             const std::string& base, const SQXLFrameTarget& target,
                                             CQXLDownloadMonitor* monitor, std::string& head) {
    const auto frameSha256 = Digest(frame.sha256);
    if (!frameSha256)
        return L"the list gives no SHA-256 for the frame";
    if (!m_fetcher.DownloadFile(part, monitor, L"GetAppFileDelta", true, &request))
        return L"the frame did not arrive";
    const std::wstring framePath =
        m_fetcher.GetDownloadDirectory() + part.FilePath() + part.FileName();
    const std::wstring failure =
        CQXLFrameDecoder::Decode(framePath, *frameSha256, base, target, head);
    Remove(framePath);
    return failure;
}

std::wstring CQXLFrameFetch::FetchDecoding(const CQXLFile& part, SQXLFrameRequest& request,
                                           const std::string& base, const SQXLFrameTarget& target,
                                           CQXLDownloadMonitor* monitor, std::string& head) {
    CQXLFrameStream stream(base, target);
    request.sink = &stream;
    if (m_fetcher.DownloadFile(part, monitor, L"GetAppFileDelta", true, &request)) {
        head = stream.Head();
        return L"";
    }
    return stream.Failure().empty() ? L"the frame did not arrive" : stream.Failure();
}
