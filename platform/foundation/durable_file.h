// Files written so that an answer of success still holds after a crash or a power cut: bytes are
// flushed before a name points at them, and a directory is flushed once a name in it changed.
// A file is replaced whole through a temporary beside it, so readers (in this process or another)
// see the old file or the new one, never part of one.
//
// A temporary is named "." + the file's name + ".tmp" + six letters or digits. The leading dot
// keeps temporaries apart from files whose names never start with one (such as user-defaults
// domains), and the sweep of stale temporaries takes nothing that does not match exactly.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/foundation/regular_file.h"

namespace foundation {

// Each call below that fails leaves errno as the system's cause (system_error.h classifies it).

// Writes all of `bytes` to `fd`, going on after interrupted and short writes.
bool writeAll(int fd, std::span<const uint8_t> bytes);

// Creates the missing directories of `path` with `mode`, each flushed into its parent.
bool makeDirectories(const std::string& path, mode_t mode);

// Replaces the file at `path` with one (mode 0600) holding `bytes`: a temporary is written,
// flushed and renamed over `path`, then the directory is flushed. Answers the new file's identity,
// or nullopt on failure. A failure before the rename (a directory that cannot be opened included)
// leaves `path` as it was and no temporary behind; only when the directory cannot be flushed
// after the rename is the new file in place, without being known to be durable.
std::optional<FileIdentity> replaceFile(const std::string& path, std::span<const uint8_t> bytes);

// Renames `from` to `to` in the same directory, never over a file already at `to` where the file
// system can promise it, and flushes the directory. On false nothing was renamed, unless the
// directory could not be flushed.
bool renameFile(const std::string& from, const std::string& to);

// Removes the file at `path` (none there counts as removed) and flushes its directory. On false
// the file is there as it was, unless the directory could not be flushed after the removal.
bool removeFile(const std::string& path);

// Removes the temporaries of `path` that writers left when they died (those no writer holds
// locked), in this naming and in the one of earlier versions ("<name>.tmp-" and six letters or
// digits, which no name ending in an extension such as ".plist" can match).
void removeStaleTemporaries(const std::string& path);

}  // namespace foundation
