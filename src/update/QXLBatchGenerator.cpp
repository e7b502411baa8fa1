#include "update/QXLBatchGenerator.h"

#include "platform/Files.h"
#include "platform/RunOnce.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace {

std::wstring WithSeparator(const std::wstring& directory) {
    if (!directory.empty() && directory.back() == qxplat::kPathSeparator)
        return directory;
    return directory + qxplat::kPathSeparator;
}

} // namespace

void CQXLBatchGenerator::AddLine(Section& section, const std::wstring& line) {
    section.text.append(line).push_back(L'\r');
}

void CQXLBatchGenerator::AddEntry(Section& section, const std::wstring& relativeName) {
    ++section.count;
    AddLine(section, QXFormat(L"%s%d = %s", L"File", section.count, relativeName));
}

void CQXLBatchGenerator::AddDst(const std::wstring& directory) {
    m_destination = WithSeparator(directory);
    AddLine(m_config, L"Dst = " + m_destination);
}

void CQXLBatchGenerator::AddSrc(const std::wstring& directory) {
    m_source = WithSeparator(directory);
    AddLine(m_config, L"Src = " + m_source);
}

void CQXLBatchGenerator::AddApplicationLabel(const std::wstring& label) {
    AddLine(m_config, L"ApplicationLabel = " + label);
}

void CQXLBatchGenerator::AddMove(const std::wstring& relativeName) {
    AddEntry(m_move, relativeName);
}

void CQXLBatchGenerator::AddRegister(const std::wstring& relativeName) {
    AddEntry(m_register, relativeName);
}

void CQXLBatchGenerator::AddDelete(const std::wstring& relativeName) {
    AddEntry(m_delete, relativeName);
}

void CQXLBatchGenerator::AddInstall(const std::wstring& relativeName) {
    AddEntry(m_install, relativeName);
}

void CQXLBatchGenerator::AddExtract(const std::wstring& relativeName) {
    AddEntry(m_extract, relativeName);
}

void CQXLBatchGenerator::AddUpdate(const std::wstring& relativeName,
                                   const std::wstring& parameters) {
    AddEntry(m_update, relativeName);
    if (!parameters.empty())
        AddLine(m_update, QXFormat(L"%s%d = %s", L"Param", m_update.count, parameters));
}

int CQXLBatchGenerator::WriteBatchFile() {
    const std::wstring file = BatchFilePath();
    // A new file every time: nothing of an earlier run's instructions may survive.
    const qxplat::FilePtr out = qxplat::OpenShared(file, "wb");
    if (!out) {
        m_log.LogError(L"Unable to write batch file (%s) : %d", file,
                       static_cast<long long>(qxplat::LastError()));
        return 0;
    }
    const int total =
        m_move.count + m_register.count + m_delete.count + m_update.count + m_install.count;
    AddLine(m_config, QXFormat(L"%s = %d", L"NbFile", total));
    std::wstring text;
    AppendSection(text, L"Config", m_config);
    AppendSection(text, L"Register", m_register);
    AppendSection(text, L"Move", m_move);
    AppendSection(text, L"Delete", m_delete);
    AppendSection(text, L"Update", m_update);
    AppendSection(text, L"Install", m_install);
    AppendSection(text, L"Extract", m_extract);
    const std::string bytes = qxplat::ToNarrow(text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size() ||
        std::fflush(out.get()) != 0) {
        m_log.LogError(L"Unable to write batch file (%s) : %d", file,
                       static_cast<long long>(qxplat::LastError()));
        return 0;
    }
    return 1;
}

// The file is written whole, in the order the installer reads it: each section's header,
// then its lines exactly as recorded, CR LF after each. (The profile writers of some systems
// rewrite "key = value" lines, or put blank lines between sections.)
void CQXLBatchGenerator::AppendSection(std::wstring& text, const wchar_t* name,
                                       const Section& section) {
    text.append(L"[").append(name).append(L"]\r\n");
    for (wchar_t c : section.text) {
        if (c == L'\r')
            text.append(L"\r\n");
        else
            text.push_back(c);
    }
}

int CQXLBatchGenerator::RegisterRunOnce() {
    unsigned long error = 0;
    const qxplat::RunOnceResult result = qxplat::SetRunOnceEntry(
        L"QXLauncher", m_destination + qxplat::ProgramFileName(L"QXInstaller"), error);
    if (result == qxplat::RunOnceResult::PlaceFailed) {
        m_log.LogError(L"Unable to open runonce reg key : %d", static_cast<long long>(error));
        return 0;
    }
    if (result == qxplat::RunOnceResult::EntryFailed) {
        m_log.LogError(L"Unable to write reg value under runonce key : %d",
                       static_cast<long long>(error));
        return 0;
    }
    return 1;
}
