// The database plug-in: SQLite databases for the Dart side on the method channel
// "com.velmora.litedb". It keeps the registry of open databases, answers the file-system and
// configuration calls itself, and hands SQL calls to the database they name, whose work queue
// runs them in the order they arrived. Every answer reaches the engine on the main queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/flutter_plugin.h"
#include "plugins/litedb/litedb_database.h"

namespace litedb {

class LiteDbPlugin : public FlutterPlugin, public std::enable_shared_from_this<LiteDbPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  // A SQL call is kept, without a copy, until its database's queue has run it.
  void handleOwnedMethodCall(FlutterMethodCall call, FlutterResult result) override;
  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

  static bool isInMemoryPath(const std::string& path) { return path == ":memory:"; }
  static flutter::Value makeOpenResult(int64_t databaseId, bool recovered,
                                       bool recoveredInTransaction);

 private:
  using Handler = void (LiteDbPlugin::*)(const FlutterMethodCall&, FlutterResult);
  using SqlOperation = void (LiteDbDatabase::*)(LiteDbDarwinDatabase&,
                                                const std::shared_ptr<LiteDbOperation>&);
  static const std::map<std::string, Handler>& methodTable();
  // The calls that run on the database they name.
  static const std::map<std::string, SqlOperation>& sqlOperationTable();

  void handleGetPlatformVersion(const FlutterMethodCall& call, FlutterResult result);
  void handleOpenDatabaseCall(const FlutterMethodCall& call, FlutterResult result);
  void handleGetDatabasesPath(const FlutterMethodCall& call, FlutterResult result);
  void handleCloseDatabaseCall(const FlutterMethodCall& call, FlutterResult result);
  void handleDeleteDatabaseCall(const FlutterMethodCall& call, FlutterResult result);
  void handleDatabaseExistsCall(const FlutterMethodCall& call, FlutterResult result);
  void handleOptionsCall(const FlutterMethodCall& call, FlutterResult result);
  void handleDebugCall(const FlutterMethodCall& call, FlutterResult result);
  void handleDebugModeCall(const FlutterMethodCall& call, FlutterResult result);
  void handleDarwinCreateUnprotectedFolder(const FlutterMethodCall& call, FlutterResult result);

  // Answers and registers an open made off the main thread (null queue: it failed), then handles
  // the calls on the path that waited for it.
  void finishOpen(const std::string& path, bool singleInstance,
                  std::shared_ptr<LiteDbDarwinDatabaseQueue> queue, const FlutterResult& result);
  // Keeps the call for after the single-instance open of `path` under way, if there is one.
  // Under map_lock_.
  bool deferBehindOpen(const std::string& path, const FlutterMethodCall& call,
                       const FlutterResult& result, Handler handler);
  // Runs a SQL call on the database its "id" names.
  void runSqlCall(std::shared_ptr<const FlutterMethodCall> call, const FlutterResult& result,
                  SqlOperation operation);
  // The database under the call's "id"; when there is none the error has been answered.
  std::shared_ptr<LiteDbDatabase> getDatabaseOrError(const FlutterMethodCall& call,
                                                     const FlutterResult& result);
  // Unregisters the database and closes it after its queued work; `callback` runs afterwards.
  void closeDatabase(const std::shared_ptr<LiteDbDatabase>& database,
                     std::function<void()> callback);
  // Removes the database's file and its companions; the error when one of them is not a regular
  // file or a link (nothing is removed then) or could not be removed.
  static std::optional<FlutterError> deleteDatabaseFile(const std::string& path);
  // The error when the database's file or a companion is there but neither a regular file nor a
  // link: such a database is never removed, nor opened.
  static std::optional<FlutterError> checkDeletable(const std::string& path);
  static bool deleteSimpleFile(const std::string& path);
  static bool databaseExists(const std::string& path);

  std::mutex map_lock_;
  std::map<int64_t, std::shared_ptr<LiteDbDatabase>> database_map_;
  std::map<std::string, std::shared_ptr<LiteDbDatabase>> single_instance_database_map_;
  struct DeferredCall {
    FlutterMethodCall call;
    FlutterResult result;
    Handler handler;
  };
  // Single-instance opens not yet answered, by path, with the calls on that path that wait.
  std::map<std::string, std::vector<DeferredCall>> single_instance_opens_under_way_;
};

}  // namespace litedb
