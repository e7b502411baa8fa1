#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "QXDeltaStore.h"
#include "QXReplyTable.h"

// The file list's columns that announce a file's zstd frames: the patch (with the size and
// checksum of the base it applies to) and the packed copy, each with its size, 32-bit checksum
// and SHA-256. Launchers drop columns they do not know; a signed list signs them with the rest.
// A file without a frame has 0 and empty values there.
void QXAddFrameColumns(CQXReplyTable& table);
// The values of row's frames from deltas, made if need be until makeUntil: the launcher waits
// for the list, so frames still missing then are left to later lists (publish makes them all).
// A frame that cannot be made is not announced; why goes to error (for the error log), and the
// list is served all the same.
void QXAddFrameValues(CQXReplyTable& table, CQXDeltaStore& deltas, const std::string& application,
                      const std::string& version, const SQXFileRow& row,
                      std::chrono::steady_clock::time_point makeUntil, std::string& error);
