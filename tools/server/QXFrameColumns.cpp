#include "QXFrameColumns.h"

#include <exception>

namespace {

void AddFrame(CQXReplyTable& table, const std::optional<SQXFrame>& frame) {
    table.AddValue(static_cast<long long>(frame ? frame->size : 0));
    table.AddValue(static_cast<long long>(frame ? frame->checksum : 0));
    table.AddValue(frame ? frame->sha256 : std::string());
}

} // namespace

void QXAddFrameColumns(CQXReplyTable& table) {
    for (const char* name : {"DeltaBaseSize", "DeltaBaseChecksum", "DeltaSize", "DeltaChecksum"})
        table.AddColumn(name, CQXReplyTable::kInteger);
    table.AddColumn("DeltaSha256", CQXReplyTable::kText);
    table.AddColumn("PackedSize", CQXReplyTable::kInteger);
    table.AddColumn("PackedChecksum", CQXReplyTable::kInteger);
    table.AddColumn("PackedSha256", CQXReplyTable::kText);
}

void QXAddFrameValues(CQXReplyTable& table, CQXDeltaStore& deltas, const std::string& application,
                      const std::string& version, const SQXFileRow& row,
                      std::chrono::steady_clock::time_point makeUntil, std::string& error) {
    std::optional<SQXDelta> delta;
    std::optional<SQXFrame> packed;
    try {
        const bool mayMake = std::chrono::steady_clock::now() < makeUntil;
        delta = deltas.Delta(application, version, row, mayMake);
        packed = deltas.Packed(application, version, row, mayMake);
    } catch (const std::exception& e) {
        error = std::string("deltas: ") + e.what();
    }
    table.AddValue(static_cast<long long>(delta ? delta->baseSize : 0));
    table.AddValue(static_cast<long long>(delta ? delta->baseChecksum : 0));
    AddFrame(table, delta ? std::optional<SQXFrame>(delta->patch) : std::nullopt);
    AddFrame(table, packed);
}
