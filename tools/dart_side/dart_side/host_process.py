"""The host executable, started with DART_SIDE_SOCKET pointing into a fresh directory, with its
log lines collected as they come."""

import os
import shutil
import signal
import subprocess
import tempfile
import threading

from .client import DEFAULT_TIMEOUT, DartSide

SERVING_LOG_LINE = "Serving the Dart side on"


class HostProcess:
    """Use as a context manager: the host is started on entry and ended on exit."""

    def __init__(self, executable, socket_path=None, echo=None, environment=None,
                 preexec_fn=None):
        """`environment` adds variables to the host's; `preexec_fn` runs in the child before the
        host starts (to set a resource limit or a signal's disposition, for example)."""
        self.executable = executable
        self._environment = environment or {}
        self._preexec_fn = preexec_fn
        self._directory = None if socket_path else tempfile.mkdtemp(prefix="dart-side-")
        self.socket_path = socket_path or os.path.join(self._directory, "host.sock")
        self._echo = echo
        self._lines = []
        self._changed = threading.Condition()
        self._log_closed = False
        self.process = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()

    def start(self, wait_until_serving=True, timeout=DEFAULT_TIMEOUT):
        environment = dict(os.environ, DART_SIDE_SOCKET=self.socket_path, **self._environment)
        self.process = subprocess.Popen([self.executable], env=environment,
                                        stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        text=True, errors="replace",
                                        preexec_fn=self._preexec_fn)
        self._collector = threading.Thread(target=self._collect_log, daemon=True)
        self._collector.start()
        if wait_until_serving:
            self.wait_for_log(SERVING_LOG_LINE, timeout)

    def connect(self, timeout=DEFAULT_TIMEOUT):
        return DartSide.connect(self.socket_path, timeout)

    def log_lines(self):
        with self._changed:
            return list(self._lines)

    def count_log_lines(self, text):
        return sum(text in line for line in self.log_lines())

    def wait_for_log(self, text, timeout=DEFAULT_TIMEOUT, count=1):
        """The `count`th log line holding `text`; raises if the host ends or time runs out first."""
        def matches():
            return [line for line in self._lines if text in line]

        with self._changed:
            # The log closes when the host ends: then no line can come any more.
            self._changed.wait_for(lambda: len(matches()) >= count or self._log_closed, timeout)
            found = matches()
            if len(found) >= count:
                return found[count - 1]
        state = "ended" if self.process.poll() is not None else "still running"
        raise TimeoutError(f"the host ({state}) did not log '{text}'; its log:\n" +
                           "\n".join(self.log_lines()))

    def terminate(self, timeout=DEFAULT_TIMEOUT):
        """Asks the host to close its window (SIGTERM) and answers its exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        return self.process.wait(timeout)

    def close(self):
        if self.process:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()
            self._collector.join()
            self.process.stderr.close()
        if self._directory:
            shutil.rmtree(self._directory, ignore_errors=True)

    def _collect_log(self):
        for line in self.process.stderr:
            line = line.rstrip("\n")
            if self._echo:
                self._echo(line)
            with self._changed:
                self._lines.append(line)
                self._changed.notify_all()
        with self._changed:
            self._log_closed = True
            self._changed.notify_all()
