#pragma once

#include <string>

// The file names and sub-directories that the server's list may give. Whatever the list says
// is later joined to the installation and temp directories and handed to the installer, so a
// name must stay a plain name and a path must stay below those directories on either platform.

// Why name is not a plain file name (empty; a separator or colon; "." or ".."; a Windows
// device name such as CON or LPT1, with or without extension; a trailing dot or blank), or
// null when it is one.
const wchar_t* QXLUnsafeFileNameReason(const std::wstring& name);

// Why path (as the list gives it, "--" meaning none) would leave the directory it is joined
// to (absolute, a drive or device prefix, a "." or ".." segment, or a segment that is not a
// plain name), or null when it stays below. Segments are compared whole, never as prefixes.
const wchar_t* QXLUnsafeFilePathReason(const std::wstring& path);
