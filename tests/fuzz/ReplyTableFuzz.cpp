// libFuzzer target: any reply body through the table parser, the four readers and the name
// checks of the file list. Each input byte becomes one character, so that every separator
// (CR, LF, TAB, "|", ";") is reachable.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "protocol/QXLReplyReader.h"
#include "protocol/TDParser.h"
#include "update/QXLSafeName.h"

namespace {

CQXLLog& QuietLog() {
    static const std::filesystem::path dir = [] {
        const auto path = std::filesystem::temp_directory_path() / "qx-fuzz-log";
        std::filesystem::create_directories(path);
        std::ofstream(path / "QXLauncher.ini") << "[LOG]\nactivateLog=0\n";
        return path;
    }();
    static CQXLLog log(dir.wstring());
    return log;
}

void WalkTable(const std::wstring& body) {
    CTDParser parser;
    parser.Parse(body);
    std::wstring text;
    int type = 1;
    while (parser.NextColumnName(text))
        parser.AddColumnType(type++);
    // Every value read moves forward, so this ends; the bound only guards against a fault.
    for (std::size_t guard = 0; guard <= body.size() + 1; ++guard) {
        if (parser.NextValue(text) == 0 && !parser.NextRow())
            return;
    }
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring body(data, data + size);
    WalkTable(body);
    CQXLLog& log = QuietLog();
    CQXLApplicationInfo info;
    QXLReplyReader::ReadApplicationInfo(body, info, log);
    std::vector<std::wstring> versions;
    QXLReplyReader::ReadVersionList(body, versions, log);
    CQXLPrimaryApplication primary;
    QXLReplyReader::ReadPrimaryApplication(body, primary, log);
    for (const CQXLFileRow& row : QXLReplyReader::ReadFileRows(body, log)) {
        QXLUnsafeFileNameReason(row.FileName);
        QXLUnsafeFilePathReason(row.FilePath);
    }
    return 0;
}
