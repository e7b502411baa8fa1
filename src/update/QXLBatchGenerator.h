#pragma once

#include <string>

#include "log/QXLLog.h"

// Collects what the installer program must do with the downloaded files and writes it as the
// INI-style instruction file "qxinstaller.txt" in the source (temp) directory:
//   [Config] ApplicationLabel, Dst, Src, NbFile   [Register] [Move] [Delete]
//   [Update] (with "ParamN" beside "FileN")   [Install]   [Extract]
// Entries are numbered from 1 per section in the order they were added. Also registers the
// installer to run at the next logon. One instance per run, used by the worker thread.
class CQXLBatchGenerator {
public:
    explicit CQXLBatchGenerator(CQXLLog& log) : m_log(log) {}
    virtual ~CQXLBatchGenerator() = default;

    // Where the installed files go; a separator is appended when missing. Adds "Dst = ".
    void AddDst(const std::wstring& directory);
    // Where the downloaded files lie and the instruction file goes. Adds "Src = ".
    void AddSrc(const std::wstring& directory);
    // Adds "ApplicationLabel = " with the label as it is.
    void AddApplicationLabel(const std::wstring& label);

    // Each adds one "FileN = relativeName" entry to its section.
    void AddMove(const std::wstring& relativeName);
    void AddRegister(const std::wstring& relativeName);
    void AddDelete(const std::wstring& relativeName);
    void AddInstall(const std::wstring& relativeName);
    void AddExtract(const std::wstring& relativeName);
    // Also adds "ParamN = parameters", N the entry's number, when there are parameters.
    void AddUpdate(const std::wstring& relativeName, const std::wstring& parameters);

    // Replaces any earlier instruction file with the sections collected so far, as 8-bit
    // text of the platform (the ANSI code page on Windows) with CR LF line ends; "NbFile"
    // counts the Move, Register, Delete, Update and Install entries. 1 on success; 0, with
    // an error line, when the file cannot be created or written.
    int WriteBatchFile();

    // Has the installer (destination directory + the installer's file name) started once at
    // the next logon. 1 on success; 0 with an error line.
    int RegisterRunOnce();

    const std::wstring& SourceDirectory() const { return m_source; }
    const std::wstring& DestinationDirectory() const { return m_destination; }
    // Path of the instruction file.
    std::wstring BatchFilePath() const { return m_source + L"qxinstaller.txt"; }

private:
    struct Section {
        std::wstring text; // lines, each ending in CR
        int count = 0;
    };

    static void AddLine(Section& section, const std::wstring& line);
    static void AddEntry(Section& section, const std::wstring& relativeName);
    static void AppendSection(std::wstring& text, const wchar_t* name, const Section& section);

    std::wstring m_source;
    std::wstring m_destination;
    Section m_config;
    Section m_move;
    Section m_register;
    Section m_delete;
    Section m_update;
    Section m_install;
    Section m_extract;
    CQXLLog& m_log;
};
