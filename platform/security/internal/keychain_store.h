// The keychain's items in one SQLite database per application (see keychain_location.h). Every
// Security call is one transaction, also for other processes on the same file. The keychain is
// the file at its path: when another program removes or replaces it, the next call opens (or
// makes) the one there now. A database that cannot be opened, or that is not one this
// store wrote, answers errSecNotAvailable to every call and is never written to. Nothing is
// encrypted at rest.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/security/internal/deadline_mutex.h"
#include "platform/security/internal/keychain_item.h"
#include "platform/security/sec_base.h"

namespace security::internal {

// Which stored items a read looks at: SQL narrows them down (through the index on keychain,
// class and identity) before any is decoded.
struct ItemSelection {
  std::string keychain;
  std::string itemClass;
  // Only items whose identity begins with these bytes (see identityPrefixOf); empty: all.
  CFBytes identityPrefix;
  std::optional<int64_t> id;
};

class KeychainTransaction {
 public:
  explicit KeychainTransaction(sqlite3* database) : database_(database) {}

  // The selected items, in creation order, without their data (see loadData).
  OSStatus items(const ItemSelection& selection, std::vector<KeychainItem>* out);
  // Reads the data of an item that items() answered.
  OSStatus loadData(KeychainItem* item);
  // Gives the item its id. errSecDuplicateItem when another item has its identity.
  OSStatus insert(KeychainItem* item);
  // Rewrites every column; the item's data must have been loaded.
  OSStatus update(const KeychainItem& item);
  OSStatus remove(int64_t id);

  // Set when the database turned out to be damaged.
  bool sawCorruption() const { return saw_corruption_; }

 private:
  OSStatus statusOf(int sqliteResult);
  OSStatus changedOneRow(int sqliteResult);

  sqlite3* database_;
  bool saw_corruption_ = false;
};

class KeychainStore {
 public:
  using Body = std::function<OSStatus(KeychainTransaction&)>;

  static KeychainStore& shared();

  // Runs `body` in one transaction, committed when it answers errSecSuccess and rolled back
  // otherwise. Calls are serialised, also across processes. Called again from within a body on
  // the same thread, it runs inside the outer transaction (undone alone when it fails), so that
  // several Security calls can form one transaction.
  OSStatus transact(const Body& body);

  // Puts the database in `directory` (nullopt: the default) and closes the open one.
  void setDirectory(std::optional<std::string> directory);
  std::string databasePath() const;
  // Closes the database; the next call opens it again.
  void close();

 private:
  struct DatabaseClose {
    void operator()(sqlite3* database) const { sqlite3_close_v2(database); }
  };

  KeychainStore() = default;
  OSStatus openLocked();
  // Opens the database at its path (again, when its file was removed or replaced) and begins a
  // write transaction on it.
  OSStatus beginLocked();
  std::string directoryLocked() const;
  // Within the transaction this thread holds.
  OSStatus transactNested(const Body& body);
  // The status of a step of opening that failed: "not now" (an I/O error, a limit, a permission,
  // a lock held past the wait, a companion file that cannot be used) is errSecIO; a file that is
  // not the keychain's is errSecNotAvailable.
  OSStatus openStepFailureLocked(sqlite3* database, const std::string& path);
  // Logs the cause of a change SQLite failed: a file it could not open (its journal) or a write
  // it could not make (a full disk, the file-size limit). SQLite keeps neither.
  void logWriteFailureLocked();
  // Each line once: a cause met again and again is logged when it is first met.
  void logOnceLocked(const std::string& line);

  mutable DeadlineMutex mutex_;
  // The thread whose transaction is open, if any; only that thread reads the fields below while
  // it holds the mutex.
  std::atomic<std::thread::id> transaction_thread_{};
  bool nested_saw_corruption_ = false;
  std::unique_ptr<sqlite3, DatabaseClose> database_;
  std::optional<std::string> directory_;
  std::set<std::string> logged_lines_;
};

}  // namespace security::internal
