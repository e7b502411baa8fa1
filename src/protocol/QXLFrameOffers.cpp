#include "protocol/QXLFrameOffers.h"

#include <iterator>
#include <vector>

#include "protocol/QXReplyValues.h"
#include "protocol/TDParser.h"

namespace {

enum Column : int {
    kName = 1,
    kPath,
    kBaseSize,
    kBaseChecksum,
    kDeltaSize,
    kDeltaChecksum,
    kDeltaSha256,
    kPackedSize,
    kPackedChecksum,
    kPackedSha256,
};

const wchar_t* const kColumnNames[] = {
    L"FileName",      L"FilePath",    L"DeltaBaseSize", L"DeltaBaseChecksum", L"DeltaSize",
    L"DeltaChecksum", L"DeltaSha256", L"PackedSize",    L"PackedChecksum",    L"PackedSha256",
};

// A size as the list gives it; 0 (nothing offered) for a value out of a row's range.
std::int32_t Size(const std::wstring& value) {
    const std::uint32_t number = QXReplyInteger(value);
    return number > 0x7FFFFFFFu ? 0 : static_cast<std::int32_t>(number);
}

void Store(SQXLFrameOffer& offer, std::wstring& name, std::wstring& path, int type,
           const std::wstring& value) {
    switch (type) {
    case kName:
        name = QXReplyText(value);
        break;
    case kPath:
        path = QXReplyText(value);
        break;
    case kBaseSize:
        offer.baseSize = Size(value);
        break;
    case kBaseChecksum:
        offer.baseChecksum = QXReplyInteger(value);
        break;
    case kDeltaSize:
        offer.patch.size = Size(value);
        break;
    case kDeltaChecksum:
        offer.patch.checksum = QXReplyInteger(value);
        break;
    case kDeltaSha256:
        offer.patch.sha256 = QXReplyText(value);
        break;
    case kPackedSize:
        offer.packed.size = Size(value);
        break;
    case kPackedChecksum:
        offer.packed.checksum = QXReplyInteger(value);
        break;
    case kPackedSha256:
        offer.packed.sha256 = QXReplyText(value);
        break;
    default:
        break;
    }
}

} // namespace

std::wstring QXLFrameOfferKey(const std::wstring& path, const std::wstring& name) {
    std::wstring key = path == L"--" ? std::wstring() : path;
    for (wchar_t& c : key)
        if (c == L'\\')
            c = L'/';
    if (!key.empty() && key.back() != L'/')
        key.push_back(L'/');
    return key + name;
}

std::map<std::wstring, SQXLFrameOffer> QXLReadFrameOffers(const std::wstring& body) {
    std::map<std::wstring, SQXLFrameOffer> offers;
    CTDParser parser;
    if (!parser.Parse(body))
        return offers;
    std::wstring column;
    while (parser.NextColumnName(column)) {
        int type = TypeUnknown;
        for (int i = 0; i < static_cast<int>(std::size(kColumnNames)); ++i)
            if (QXEqualsNoCase(column, kColumnNames[i]))
                type = i + 1;
        parser.AddColumnType(type);
    }
    for (;;) {
        SQXLFrameOffer offer;
        std::wstring name, path, value;
        bool whole = true;
        for (std::size_t i = 0; i < parser.ColumnCount() && whole; ++i) {
            const int type = parser.NextValue(value);
            if (type == 0)
                return offers;
            Store(offer, name, path, type, value);
            whole = !parser.AtRowStart() || i + 1 == parser.ColumnCount();
        }
        if (whole && (offer.patch.size > 0 || offer.packed.size > 0))
            offers[QXLFrameOfferKey(path, name)] = offer;
    }
}
