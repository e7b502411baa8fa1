#pragma once

#include <cstddef>
#include <string>

// Bounds of the configuration dump: a settings file may be huge (a qxurl.net listing
// thousands of servers, or any file put under its name), and the dump is one log record.
constexpr std::size_t kQXDumpMaxBytes = 64 * 1024; // bytes of the file shown at most
constexpr std::size_t kQXDumpMaxLine = 1000;       // characters of one line shown at most

// The text of a settings file for the log, read as the C runtime's wide text stream would
// (CR LF becomes LF; a UTF-16 LE file with its byte-order mark is decoded as such). Lines
// longer than kQXDumpMaxLine characters are cut with a note of how many characters went, and
// after kQXDumpMaxBytes bytes a closing line says how many bytes were left out. False when
// the file cannot be opened.
bool QXReadConfigurationDump(const std::wstring& fileName, std::wstring& text);
