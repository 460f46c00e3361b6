#include "plugins/litedb/litedb_plugin.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_method_channel.h"
#include "platform/foundation/ns_file_manager.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_path_utilities.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/system_error.h"
#include "plugins/litedb/litedb_arguments.h"
#include "plugins/litedb/litedb_method_call_operation.h"
#include "plugins/litedb/litedb_reply_limit.h"
#include "plugins/litedb/litedb_sqlite_setup.h"

namespace litedb {
namespace {

constexpr const char* kChannelName = "com.velmora.litedb";

// What every plug-in instance of the process shares.
struct ProcessState {
  std::atomic<int32_t> log_level{0};
  std::atomic<int64_t> last_database_id{0};
  std::atomic<int64_t> open_database_count{0};
};

ProcessState& processState() {
  static auto* const state = new ProcessState();
  return *state;
}

int32_t logLevel() { return processState().log_level.load(); }

// Every answer reaches the engine from a later turn of the main queue, whichever thread produced
// it. One produced off the main thread is encoded there, by the engine's result, whose encoded
// reply then hops to the main queue: the main thread only hands the frame on.
FlutterResult answeredOnMainQueue(FlutterResult engineResult) {
  return FlutterResult([engineResult](FlutterMethodResponse response) {
    if (!dispatch::isMainThread()) {
      std::visit([&](auto& value) { engineResult(std::move(value)); }, response);
      return;
    }
    // Shared, so that a large page is never copied along with the block.
    auto answer = std::make_shared<FlutterMethodResponse>(std::move(response));
    dispatch_async(dispatch_get_main_queue(), [engineResult, answer] {
      std::visit([&](auto& value) { engineResult(std::move(value)); }, *answer);
    });
  });
}

std::string parentDirectory(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates the missing folders above a database about to be opened for writing. A failure shows
// in the open that follows.
void createParentDirectory(const std::string& path) {
  std::string parent = parentDirectory(path);
  auto files = NSFileManager::defaultManager();
  if (parent.empty() || files->fileExistsAtPath(parent)) return;
  if (logLevel() > 0) NSLog("Creating parent dir %s", parent.c_str());
  files->createDirectoryAtPath(parent, true);
}

// Opens the database's connection and sets it up; null when it did not open. The connection's
// file system checks every file on the descriptor it opened (LiteDbSqliteSetup).
std::shared_ptr<LiteDbDarwinDatabaseQueue> openQueue(const std::string& path, int flags) {
  auto queue = LiteDbDarwinDatabaseQueue::databaseQueueWithPath(path, flags);
  if (!queue) return nullptr;
  queue->inDatabase([](LiteDbDarwinDatabase* db) {
    if (db == nullptr) return;
    // Every error then carries its extended code.
    sqlite3_extended_result_codes(db->sqliteHandle(), 1);
    // No string or blob longer than an answer can carry is ever made.
    sqlite3_limit(db->sqliteHandle(), SQLITE_LIMIT_LENGTH, static_cast<int>(kMaxReplyBytes));
  });
  return queue;
}

}  // namespace

void LiteDbPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  // At start-up, before anything else in the process can have used SQLite.
  LiteDbSqliteSetup::vfsName();
  auto channel = FlutterMethodChannel::methodChannelWithName(kChannelName, registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<LiteDbPlugin>(), channel);
}

const std::map<std::string, LiteDbPlugin::Handler>& LiteDbPlugin::methodTable() {
  static const std::map<std::string, Handler> table = {
      {"getPlatformVersion", &LiteDbPlugin::handleGetPlatformVersion},
      {"openDatabase", &LiteDbPlugin::handleOpenDatabaseCall},
      {"getDatabasesPath", &LiteDbPlugin::handleGetDatabasesPath},
      {"closeDatabase", &LiteDbPlugin::handleCloseDatabaseCall},
      {"deleteDatabase", &LiteDbPlugin::handleDeleteDatabaseCall},
      {"databaseExists", &LiteDbPlugin::handleDatabaseExistsCall},
      {"options", &LiteDbPlugin::handleOptionsCall},
      {"debug", &LiteDbPlugin::handleDebugCall},
      {"debugMode", &LiteDbPlugin::handleDebugModeCall},
      {"darwinCreateUnprotectedFolder", &LiteDbPlugin::handleDarwinCreateUnprotectedFolder},
  };
  return table;
}

const std::map<std::string, LiteDbPlugin::SqlOperation>& LiteDbPlugin::sqlOperationTable() {
  static const std::map<std::string, SqlOperation> table = {
      {"insert", &LiteDbDatabase::dbInsert},
      {"query", &LiteDbDatabase::dbQuery},
      {"update", &LiteDbDatabase::dbUpdate},
      {"execute", &LiteDbDatabase::dbExecute},
      {"batch", &LiteDbDatabase::dbBatch},
      {"queryCursorNext", &LiteDbDatabase::dbQueryCursorNext},
  };
  return table;
}

void LiteDbPlugin::handleOwnedMethodCall(FlutterMethodCall call, FlutterResult result) {
  auto sql = sqlOperationTable().find(call.method);
  if (sql == sqlOperationTable().end()) return handleMethodCall(call, std::move(result));
  runSqlCall(std::make_shared<const FlutterMethodCall>(std::move(call)),
             answeredOnMainQueue(std::move(result)), sql->second);
}

void LiteDbPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  if (sqlOperationTable().contains(call.method)) {
    return handleOwnedMethodCall(call, std::move(result));
  }
  FlutterResult reply = answeredOnMainQueue(std::move(result));
  auto found = methodTable().find(call.method);
  if (found == methodTable().end()) {
    reply(FlutterMethodNotImplemented);
    return;
  }
  (this->*found->second)(call, std::move(reply));
}

flutter::Value LiteDbPlugin::makeOpenResult(int64_t databaseId, bool recovered,
                                            bool recoveredInTransaction) {
  flutter::ValueMap answer;
  answer.append(flutter::Value("id"), flutter::Value(databaseId));
  if (recovered) answer.append(flutter::Value("recovered"), flutter::Value(true));
  if (recoveredInTransaction) {
    answer.append(flutter::Value("recoveredInTransaction"), flutter::Value(true));
  }
  return flutter::Value(std::move(answer));
}

void LiteDbPlugin::handleGetPlatformVersion(const FlutterMethodCall& /*call*/,
                                            FlutterResult result) {
  result(flutter::Value("macOS " + NSProcessInfo::processInfo().operatingSystemVersionString()));
}

// Opening and closing.

void LiteDbPlugin::handleOpenDatabaseCall(const FlutterMethodCall& call, FlutterResult result) {
  LiteDbArguments arguments(call.arguments);
  auto path = arguments.absolutePath("path", true);
  auto read_only = arguments.flag("readOnly");
  auto single_instance_argument = arguments.flag("singleInstance");
  if (!arguments.ok()) return result(arguments.error());
  const bool in_memory = isInMemoryPath(*path);
  const bool single_instance = *single_instance_argument && !in_memory;
  if (logLevel() > 0) {
    NSLog("opening %s %s %s", path->c_str(), *read_only ? " read-only" : "",
          single_instance ? "" : " new instance");
  }

  if (single_instance) {
    std::lock_guard lock(map_lock_);
    auto found = single_instance_database_map_.find(*path);
    if (found != single_instance_database_map_.end()) {
      const auto& database = found->second;
      if (logLevel() > 0) {
        NSLog("re-opened %ssingleInstance %s id %lld",
              database->inTransaction() ? "(in transaction) " : "", path->c_str(),
              static_cast<long long>(database->databaseId));
      }
      return result(makeOpenResult(database->databaseId, true, database->inTransaction()));
    }
    // The first open of the path is under way: this one is handled again once it is done.
    if (deferBehindOpen(*path, call, result, &LiteDbPlugin::handleOpenDatabaseCall)) return;
    single_instance_opens_under_way_[*path];
  }

  const int flags = *read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  const bool create_parent = !in_memory && !*read_only;
  // Folders and files are made and opened off the main thread, which must never wait on a file.
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [self = shared_from_this(), path = *path, flags, create_parent, single_instance,
                  result = std::move(result)] {
                   if (create_parent) createParentDirectory(path);
                   auto queue = openQueue(path, flags);
                   dispatch_async(dispatch_get_main_queue(),
                                  [self, path, single_instance, queue, result] {
                                    self->finishOpen(path, single_instance, queue, result);
                                  });
                 });
}

bool LiteDbPlugin::deferBehindOpen(const std::string& path, const FlutterMethodCall& call,
                                   const FlutterResult& result, Handler handler) {
  auto under_way = single_instance_opens_under_way_.find(path);
  if (under_way == single_instance_opens_under_way_.end()) return false;
  under_way->second.push_back(DeferredCall{call, result, handler});
  return true;
}

void LiteDbPlugin::finishOpen(const std::string& path, bool singleInstance,
                              std::shared_ptr<LiteDbDarwinDatabaseQueue> queue,
                              const FlutterResult& result) {
  std::vector<DeferredCall> deferred;
  std::shared_ptr<LiteDbDatabase> database;
  {
    std::lock_guard lock(map_lock_);
    if (singleInstance) {
      auto under_way = single_instance_opens_under_way_.find(path);
      deferred = std::move(under_way->second);
      single_instance_opens_under_way_.erase(under_way);
    }
    if (queue) {
      database = std::make_shared<LiteDbDatabase>();
      database->databaseId = ++processState().last_database_id;
      database->setInTransaction(false);
      database->fmDatabaseQueue = std::move(queue);
      database->singleInstance = singleInstance;
      database->path = path;
      database->logLevel = logLevel();
      database_map_[database->databaseId] = database;
      if (singleInstance) single_instance_database_map_[path] = database;
      if (processState().open_database_count++ == 0 && logLevel() >= 2) {
        NSLog("Creating operation queue");
      }
    }
  }
  if (database) {
    result(makeOpenResult(database->databaseId, false, false));
  } else {
    NSLog("Could not open db.");
    result(FlutterError{"sqlite_error", "open_failed " + path, nullptr});
  }
  // Calls on the path that waited for this open, in the order they came.
  for (auto& waiting : deferred) (this->*waiting.handler)(waiting.call, std::move(waiting.result));
}

std::shared_ptr<LiteDbDatabase> LiteDbPlugin::getDatabaseOrError(const FlutterMethodCall& call,
                                                                 const FlutterResult& result) {
  LiteDbArguments arguments(call.arguments);
  auto id = arguments.optionalInteger("id");
  if (!arguments.ok()) {
    result(arguments.error());
    return nullptr;
  }
  std::shared_ptr<LiteDbDatabase> database;
  if (id) {
    std::lock_guard lock(map_lock_);
    auto found = database_map_.find(*id);
    if (found != database_map_.end()) database = found->second;
  }
  if (!database) {
    NSLog("db not found.");
    result(databaseClosedError());
  }
  return database;
}

void LiteDbPlugin::handleCloseDatabaseCall(const FlutterMethodCall& call, FlutterResult result) {
  auto database = getDatabaseOrError(call, result);
  if (!database) return;
  if (database->logLevel > 0) NSLog("closing %s", database->path.c_str());
  closeDatabase(database, [result] { result(flutter::Value()); });
}

void LiteDbPlugin::closeDatabase(const std::shared_ptr<LiteDbDatabase>& database,
                                 std::function<void()> callback) {
  if (database->logLevel > 0) NSLog("closing %s", database->path.c_str());
  {
    std::lock_guard lock(map_lock_);
    database_map_.erase(database->databaseId);
    if (database->singleInstance) single_instance_database_map_.erase(database->path);
    if (--processState().open_database_count == 0 && logLevel() >= 2) {
      NSLog("No more databases open");
    }
  }
  database->close(std::move(callback));
}

// SQL calls.

void LiteDbPlugin::runSqlCall(std::shared_ptr<const FlutterMethodCall> call,
                              const FlutterResult& result, SqlOperation sqlOperation) {
  auto database = getDatabaseOrError(*call, result);
  if (!database) return;
  if (auto error = LiteDbArguments(call->arguments).checkSqlCall(call->method)) {
    return result(*error);
  }
  auto operation = LiteDbMethodCallOperation::newWithCall(std::move(call), result);
  database->inDatabase([database, operation, sqlOperation](LiteDbDarwinDatabase* db) {
    if (db == nullptr) {
      operation->error(databaseClosedError());
      return;
    }
    std::shared_ptr<LiteDbOperation> base = operation;
    ((*database).*sqlOperation)(*db, base);
  });
}

// Files.

void LiteDbPlugin::handleGetDatabasesPath(const FlutterMethodCall& /*call*/,
                                          FlutterResult result) {
  auto paths = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
  result(paths.empty() ? flutter::Value() : flutter::Value(paths.front()));
}

void LiteDbPlugin::handleDeleteDatabaseCall(const FlutterMethodCall& call, FlutterResult result) {
  LiteDbArguments arguments(call.arguments);
  auto path = arguments.absolutePath("path", true);
  if (!path) return result(arguments.error());
  // A memory database has no file; the name is never looked up on disk.
  if (isInMemoryPath(*path)) return result(flutter::Value());
  std::shared_ptr<LiteDbDatabase> open;
  {
    std::lock_guard lock(map_lock_);
    // A single instance being opened is deleted once it is open, as if the open had come first.
    if (deferBehindOpen(*path, call, result, &LiteDbPlugin::handleDeleteDatabaseCall)) return;
    auto found = single_instance_database_map_.find(*path);
    if (found != single_instance_database_map_.end()) {
      open = found->second;
      if (logLevel() > 0) {
        NSLog("Deleting opened %s id %lld", path->c_str(),
              static_cast<long long>(open->databaseId));
      }
    }
  }
  // Checked before an open database is closed, so that a refusal changes nothing.
  if (auto refused = checkDeletable(*path)) return result(*refused);
  if (!open) {
    if (auto failed = deleteDatabaseFile(*path)) return result(*failed);
    return result(flutter::Value());
  }
  closeDatabase(open, [path = *path, result] {
    if (auto failed = deleteDatabaseFile(path)) return result(*failed);
    result(flutter::Value());
  });
}

namespace {

constexpr const char* kDatabaseSuffixes[] = {"", "-shm", "-wal", "-journal"};

FlutterError deleteFailed(const std::string& why) {
  return FlutterError{"fs_error", "error deleting database: " + why, flutter::Value()};
}

}  // namespace

std::optional<FlutterError> LiteDbPlugin::checkDeletable(const std::string& path) {
  // lstat only: a pipe or a device is looked at, never opened.
  for (const char* suffix : kDatabaseSuffixes) {
    const std::string file = path + suffix;
    struct stat item {};
    if (::lstat(file.c_str(), &item) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) continue;
      return deleteFailed(file + " cannot be looked at: " + foundation::describeSystemError(errno));
    }
    if (!S_ISREG(item.st_mode) && !S_ISLNK(item.st_mode)) {
      return deleteFailed(file + " is not a regular file");
    }
  }
  return std::nullopt;
}

std::optional<FlutterError> LiteDbPlugin::deleteDatabaseFile(const std::string& path) {
  if (logLevel() > 0) NSLog("Deleting db %s", path.c_str());
  // Neither a directory that happens to carry a database's name nor a pipe or a device node (a
  // host run as root could remove /dev/zero) is ever removed; with one there, nothing is.
  if (auto refused = checkDeletable(path)) return refused;
  for (const char* suffix : kDatabaseSuffixes) {
    if (!deleteSimpleFile(path + suffix)) {
      return deleteFailed(path + suffix + " could not be removed: " +
                          foundation::describeSystemError(errno));
    }
  }
  return std::nullopt;
}

bool LiteDbPlugin::deleteSimpleFile(const std::string& path) {
  struct stat item {};
  if (::lstat(path.c_str(), &item) != 0) return errno == ENOENT || errno == ENOTDIR;
  if (logLevel() > 0) NSLog("Deleting file %s", path.c_str());
  // A link goes, never what it names.
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool LiteDbPlugin::databaseExists(const std::string& path) {
  return NSFileManager::defaultManager()->fileExistsAtPath(path);
}

void LiteDbPlugin::handleDatabaseExistsCall(const FlutterMethodCall& call, FlutterResult result) {
  LiteDbArguments arguments(call.arguments);
  auto path = arguments.absolutePath("path", true);
  if (!path) return result(arguments.error());
  if (logLevel() > 0) NSLog("databaseExists %s", path->c_str());
  result(flutter::Value(!isInMemoryPath(*path) && databaseExists(*path)));
}

void LiteDbPlugin::handleDarwinCreateUnprotectedFolder(const FlutterMethodCall& call,
                                                       FlutterResult result) {
  LiteDbArguments arguments(call.arguments);
  auto parent = arguments.absolutePath("parent");
  auto name = arguments.path("name");
  if (!arguments.ok()) return result(arguments.error());
  auto files = NSFileManager::defaultManager();
  if (!files->fileExistsAtPath(*parent)) files->createDirectoryAtPath(*parent, true);
  std::string folder = *parent + (parent->ends_with('/') ? "" : "/") + *name;
  // An existing folder is kept; a file, a FIFO or anything else of that name makes the creation
  // below fail, so the caller learns there is no folder.
  bool is_directory = false;
  if (files->fileExistsAtPath(folder, &is_directory) && is_directory) {
    return result(flutter::Value());
  }
  NSError error;
  if (!files->createDirectoryAtPath(folder, true, {{NSFileProtectionKey, NSFileProtectionNone}},
                                    &error)) {
    return result(FlutterError{"fs_error", "error creating unprotected dir: " + error.description(),
                               nullptr});
  }
  result(flutter::Value());
}

// Configuration.

void LiteDbPlugin::handleOptionsCall(const FlutterMethodCall& call, FlutterResult result) {
  LiteDbArguments arguments(call.arguments);
  auto level = arguments.optionalInteger("logLevel", true);
  if (!arguments.ok()) return result(arguments.error());
  if (level) {
    processState().log_level = static_cast<int32_t>(*level);
    NSLog("LiteDb: logLevel %d", static_cast<int32_t>(*level));
  }
  result(flutter::Value());
}

void LiteDbPlugin::handleDebugModeCall(const FlutterMethodCall& call, FlutterResult result) {
  if (!call.arguments.isNull() && !call.arguments.is<bool>()) {
    return result(badParam("Invalid argument: expected a boolean"));
  }
  bool on = call.arguments.is<bool>() && call.arguments.get<bool>();
  NSLog("Debug mode %d", on ? 1 : 0);
  processState().log_level = on ? 1 : 0;
  result(flutter::Value());
}

void LiteDbPlugin::handleDebugCall(const FlutterMethodCall& call, FlutterResult result) {
  flutter::ValueMap answer;
  const bool get = flutter::ArgumentReader(call.arguments).string("cmd") == "get";
  if (get) {
    std::lock_guard lock(map_lock_);
    if (!database_map_.empty()) {
      flutter::ValueMap databases;
      for (const auto& [id, database] : database_map_) {
        flutter::ValueMap info;
        info.append(flutter::Value("path"), flutter::Value(database->path));
        info.append(flutter::Value("singleInstance"), flutter::Value(database->singleInstance));
        if (database->logLevel > 0) {
          info.append(flutter::Value("logLevel"), flutter::Value(database->logLevel));
        }
        databases.append(flutter::Value(std::to_string(id)), flutter::Value(std::move(info)));
      }
      answer.append(flutter::Value("databases"), flutter::Value(std::move(databases)));
    }
  }
  if (get && logLevel() > 0) {
    answer.append(flutter::Value("logLevel"), flutter::Value(logLevel()));
  }
  result(flutter::Value(std::move(answer)));
}

}  // namespace litedb
