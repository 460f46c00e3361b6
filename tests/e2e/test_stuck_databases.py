"""Databases stuck in long statements, in the real host: the other plug-ins keep answering and
SIGTERM still ends the host."""

import os
import tempfile
import unittest
from concurrent.futures import ThreadPoolExecutor
from unittest import mock

from e2e_support import TIMEOUT, start_host

DATABASE = "com.velmora.litedb"
SECURE_STORE = "com.velmora.host/secure_store"
LEGACY_PREFERENCES = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.getAll"
INSTANCE_MANAGER_CLEAR = "dev.flutter.pigeon.wkwebview_host.PigeonInternalInstanceManager.clear"

# More databases than the process has pool threads.
STUCK_DATABASES = 130
# How long each stuck statement waits for the lock; far beyond the checks below.
STUCK_MILLISECONDS = 60000
# What "still answering" means here, generous for a sanitizer build on a loaded machine.
ANSWER_SECONDS = 10


class StuckDatabasesTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = folder.name
        environment = {name: os.path.join(self.folder, name.lower())
                       for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME")}
        patcher = mock.patch.dict(os.environ, environment)
        patcher.start()
        self.addCleanup(patcher.stop)
        self.host = start_host("DESKTOP_HOST")
        self.addCleanup(self.host.close)
        self.side = self.host.connect()
        self.addCleanup(self.side.close)

    def database(self, method, arguments):
        return self.side.invoke_method(DATABASE, method, arguments, TIMEOUT)

    def test_stuck_databases_leave_the_host_answering_and_sigterm_ends_it(self):
        path = os.path.join(self.folder, "locked.db")
        holder = self.database("openDatabase", {"path": path})["id"]
        self.database("execute", {"id": holder, "sql": "CREATE TABLE t(x)"})
        waiting = []
        for _ in range(STUCK_DATABASES):
            database = self.database("openDatabase", {"path": path})["id"]
            self.database("query", {"id": database,
                                    "sql": f"PRAGMA busy_timeout = {STUCK_MILLISECONDS}"})
            waiting.append(database)
        self.database("execute", {"id": holder, "sql": "BEGIN EXCLUSIVE"})

        # Each insert waits for the lock on a thread of the test; none is ever answered.
        inserts = ThreadPoolExecutor(max_workers=STUCK_DATABASES)
        self.addCleanup(inserts.shutdown, wait=False, cancel_futures=True)
        for database in waiting:
            inserts.submit(self.database, "insert",
                           {"id": database, "sql": "INSERT INTO t VALUES (1)"})

        self.assertIsNone(self.side.invoke_method(
            SECURE_STORE, "read", {"key": "k", "options": {}}, ANSWER_SECONDS))
        self.assertEqual(self.side.send_message(
            LEGACY_PREFERENCES, ["flutter.", None], ANSWER_SECONDS), [{}])
        self.assertEqual(self.side.send_message(INSTANCE_MANAGER_CLEAR, None, ANSWER_SECONDS),
                         [None])
        self.assertEqual(self.host.terminate(ANSWER_SECONDS), 0)


if __name__ == "__main__":
    unittest.main()
