// How SQLite's unix file system opens and removes files for the stores (sqlite_files.h).
#pragma once

#include <cstddef>

namespace foundation::sqlite_opens {

// Takes the place of open(2). Never waits (a FIFO's open would) and hands SQLite only what it
// may use, checked on the descriptor it opened: under `strictName`, a regular file of a storage
// file system with no other name; otherwise also a directory to sync, /dev/null and
// /dev/urandom, read-only.
// A refusal is ENXIO. Every failure is kept for takeSqliteOpenFailure.
int open(const char* path, int flags, int mode);
// Takes the place of unlink(2): removes a regular file or a link only. SQLite removes what it
// takes for a stale journal, and a FIFO, socket or device there is not one.
int unlink(const char* path);
// Takes the place of getcwd(3) and fails: no relative name reaches the working directory.
char* getcwd(char* buffer, size_t size);

// Names the file a connection's file system opens on this thread (nullptr when it is done):
// under it only a regular file is taken. Every regular file SQLite opens must have one name
// (a link count of one), but for a database (`mayHaveOtherNames`).
void setStrictName(const char* name, bool mayHaveOtherNames);

}  // namespace foundation::sqlite_opens
