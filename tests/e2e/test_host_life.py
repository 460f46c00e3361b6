"""The host's life, tried from outside as a user would: the signals it obeys or survives
(docs/decisions.md, "The host's signals"), a log nobody reads, a file-size limit, a Dart side that
calls faster than the host answers, and starts that race on one path or find it taken."""

import fcntl
import os
import resource
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest
from concurrent.futures import ThreadPoolExecutor

from dart_side import ConnectionClosed, DartSide, PlatformException
from e2e_support import TIMEOUT, start_host
from life_support import (DEVICE_INFO, DISPLAY_WAKE, TERMINATION_LOG_LINE, TERMINATION_SIGNALS,
                          Flood, RssSampler, close_all, desktop_host, peak_resident_bytes,
                          signal_set, status_field, threads, wait_for_exit)

# The orderly close's deadline in the host (host/signal_policy.h), past which it ends with 1.
CLOSE_DEADLINE = 10.0
# How long to wait for a host to exit: only against a hang. Status 0 says the close ended within
# the host's own deadline (it takes well under a second at rest); past it the host ends with 1.
CLOSE_SECONDS = CLOSE_DEADLINE + TIMEOUT
# How long to wait for an answer: only against a hang, as a busy machine may take seconds.
ANSWER_SECONDS = TIMEOUT
# What may wait for the host's main thread, in frames (SocketDartSide::kMaxWaitingFrames).
WAITING_FRAMES = 1024
IGNORED_SIGNALS = (signal.SIGPIPE, signal.SIGXFSZ, signal.SIGTTOU, signal.SIGTTIN, signal.SIGIO)
# Ignored by default, and left so.
IGNORED_BY_DEFAULT = (signal.SIGCHLD, signal.SIGURG, signal.SIGWINCH)
DEFAULT_SIGNALS = (signal.SIGUSR1, signal.SIGUSR2, signal.SIGALRM, signal.SIGQUIT)
PLATFORM_VIEWS = "flutter/platform_views"
LEGACY_SET_VALUE = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.setValue"
LEGACY_GET_ALL = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.getAll"
SERVING = "Serving the Dart side"


def default_sighup():
    """A host as a terminal starts it: SIGHUP at its default, whatever the test runner has."""
    signal.signal(signal.SIGHUP, signal.SIG_DFL)


def no_core_dumps():
    default_sighup()
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def wait_until(condition, timeout=TIMEOUT, interval=0.05):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)
    return True


def started_flood(test, host, *call):
    """A flood on `host`, once the host has answered its first calls: a host logs that it serves
    before its main thread runs, which a loaded machine may take seconds to reach."""
    flood = Flood(host.socket_path, *call).start()
    test.addCleanup(flood.stop)
    test.assertTrue(wait_until(lambda: flood.answered > 0), "the host answered no call")
    return flood


def wait_until_catching(pid, number, timeout=TIMEOUT):
    """Waits until the process has a handler for the signal (its policy is in place)."""
    return wait_until(lambda: number in signal_set(status_field(pid, "SigCgt") or "0"), timeout)


def start_hosts(count, **options):
    with ThreadPoolExecutor(max_workers=count) as pool:
        return list(pool.map(lambda _: start_host("DESKTOP_HOST", **options), range(count)))


def answers(side, timeout=ANSWER_SECONDS):
    """Whether the host answers a call (the engine's own channel; an error is an answer)."""
    try:
        side.invoke_method(PLATFORM_VIEWS, "dispose", 1, timeout)
    except PlatformException:
        return True  # the answer: no such view
    except (ConnectionClosed, TimeoutError):
        return False
    return True


def assert_closed_in_order(test, host, exit_status, signal_name=None):
    test.assertEqual(exit_status, 0, "\n".join(host.log_lines()))
    test.assertFalse(os.path.exists(host.socket_path))
    line = host.wait_for_log(TERMINATION_LOG_LINE, 1)
    if signal_name:
        test.assertIn(signal_name, line)


class SignalPolicyTest(unittest.TestCase):
    """Each signal of the policy at a busy host: its outcome and the exit status."""

    def test_every_thread_blocks_the_termination_signals_but_the_policys_own(self):
        host = start_host("DESKTOP_HOST")
        self.addCleanup(host.close)
        flood = started_flood(self, host)
        pid = host.process.pid
        taking = []
        for task, name in threads(pid).items():
            try:
                blocked = signal_set(status_field(pid, "SigBlk", task))
            except FileNotFoundError:
                continue
            termination = {int(number) for number in TERMINATION_SIGNALS}
            if termination <= blocked:
                continue
            self.assertFalse(termination & blocked, f"thread {task} ({name}) blocks only some")
            taking.append(name)
        self.assertEqual(taking, ["signals"])
        ignored = signal_set(status_field(pid, "SigIgn"))
        for number in IGNORED_SIGNALS:
            self.assertIn(int(number), ignored, signal.Signals(number).name)

    def test_each_termination_signal_closes_a_busy_host_in_order(self):
        hosts = start_hosts(len(TERMINATION_SIGNALS), preexec_fn=default_sighup)
        self.addCleanup(close_all, hosts)
        for host in hosts:
            started_flood(self, host)
        for host, number in zip(hosts, TERMINATION_SIGNALS):
            host.process.send_signal(number)
        for host, number in zip(hosts, TERMINATION_SIGNALS):
            with self.subTest(signal=number.name):
                assert_closed_in_order(self, host, wait_for_exit(host.process, CLOSE_SECONDS),
                                       number.name)

    def test_a_termination_signal_at_any_moment_of_the_start_leaves_nothing_behind(self):
        """Before main installs the policy the signal's default ends the host; after, the close."""
        def at_exec(host):
            return True

        def once_caught(host):
            return wait_until_catching(host.process.pid, signal.SIGTERM)

        def once_serving(host):
            host.wait_for_log(SERVING)
            return True

        for moment in (at_exec, once_caught, once_serving):
            with self.subTest(moment=moment.__name__):
                host = start_host("DESKTOP_HOST", wait_until_serving=False)
                self.addCleanup(host.close)
                self.assertTrue(moment(host))
                host.process.send_signal(signal.SIGTERM)
                status = wait_for_exit(host.process, CLOSE_SECONDS)
                # At exec the loader may still be at work (the default), or main may have run.
                allowed = (-signal.SIGTERM, 0) if moment is at_exec else (0,)
                self.assertIn(status, allowed, "\n".join(host.log_lines()))
                self.assertFalse(os.path.exists(host.socket_path))
                if status == 0:
                    host.wait_for_log(TERMINATION_LOG_LINE, 1)

    def test_ignored_signals_leave_a_busy_host_answering(self):
        host = start_host("DESKTOP_HOST")
        self.addCleanup(host.close)
        flood = started_flood(self, host)
        for _ in range(20):
            for number in IGNORED_SIGNALS + IGNORED_BY_DEFAULT:
                host.process.send_signal(number)
        before = flood.answered
        self.assertTrue(wait_until(lambda: flood.answered > before + 1000, ANSWER_SECONDS))
        self.assertIsNone(host.process.poll())
        flood.stop()
        with host.connect() as side:
            self.assertTrue(answers(side))
        self.assertEqual(wait_for_exit_after(host, signal.SIGTERM), 0)

    def test_other_signals_keep_their_default_action(self):
        hosts = start_hosts(len(DEFAULT_SIGNALS), preexec_fn=no_core_dumps)
        self.addCleanup(close_all, hosts)
        for host in hosts:
            started_flood(self, host)
        for host, number in zip(hosts, DEFAULT_SIGNALS):
            host.process.send_signal(number)
        for host, number in zip(hosts, DEFAULT_SIGNALS):
            with self.subTest(signal=number.name):
                self.assertEqual(wait_for_exit(host.process, CLOSE_SECONDS), -number)

    def test_a_host_started_with_sighup_ignored_outlives_its_terminal(self):
        host = start_host("DESKTOP_HOST",
                          preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
        self.addCleanup(host.close)
        host.process.send_signal(signal.SIGHUP)
        time.sleep(0.5)
        with host.connect() as side:
            self.assertTrue(answers(side))
        self.assertEqual(host.count_log_lines(TERMINATION_LOG_LINE), 0)
        self.assertEqual(wait_for_exit_after(host, signal.SIGTERM), 0)


def wait_for_exit_after(host, number, timeout=CLOSE_SECONDS):
    host.process.send_signal(number)
    return wait_for_exit(host.process, timeout)


class TerminationRaceTest(unittest.TestCase):
    """SIGINT and SIGTERM however many and however timed: each host closes in order, once."""

    HOSTS = 4

    def test_sigint_then_sigterm_back_to_back_closes_every_host(self):
        hosts = start_hosts(self.HOSTS)
        self.addCleanup(close_all, hosts)
        # Most often lost when the host has been idle for a moment.
        time.sleep(1.0)
        for host in hosts:
            os.kill(host.process.pid, signal.SIGINT)
            os.kill(host.process.pid, signal.SIGTERM)
        for host in hosts:
            assert_closed_in_order(self, host, wait_for_exit(host.process, CLOSE_SECONDS))

    def test_both_signals_while_stopped_close_the_host_when_it_goes_on(self):
        hosts = start_hosts(self.HOSTS)
        self.addCleanup(close_all, hosts)
        for host in hosts:
            pid = host.process.pid
            os.kill(pid, signal.SIGSTOP)
            os.kill(pid, signal.SIGINT)
            os.kill(pid, signal.SIGTERM)
            os.kill(pid, signal.SIGCONT)
        for host in hosts:
            assert_closed_in_order(self, host, wait_for_exit(host.process, CLOSE_SECONDS))

    def test_a_storm_of_sigterms_closes_the_host_once(self):
        hosts = start_hosts(2)
        self.addCleanup(close_all, hosts)
        for host in hosts:
            pid = host.process.pid
            for _ in range(20000):
                try:
                    os.kill(pid, signal.SIGTERM)
                except ProcessLookupError:
                    break
        for host in hosts:
            assert_closed_in_order(self, host, wait_for_exit(host.process, CLOSE_SECONDS))
            self.assertEqual(host.count_log_lines(TERMINATION_LOG_LINE), 1)

    def test_a_close_that_passes_its_deadline_ends_the_host_anyway(self):
        host = start_host("E2E_FIXTURE_HOST")
        self.addCleanup(host.close)
        with host.connect() as side:
            side.invoke_method("e2e.fixture/methods", "holdMainThread", 60000, TIMEOUT)
        started = time.monotonic()
        host.process.send_signal(signal.SIGTERM)
        status = wait_for_exit(host.process, CLOSE_SECONDS)
        self.assertEqual(status, 1, "\n".join(host.log_lines()))
        self.assertGreaterEqual(time.monotonic() - started, CLOSE_DEADLINE - 0.5)
        self.assertFalse(os.path.exists(host.socket_path))
        host.wait_for_log("The orderly close did not end within", 1)


# A web view call naming an object the host does not know: the host writes a line to standard
# output for it ("Failed to find instance with identifier: 99") and answers an error.
UNKNOWN_OBJECT_CHANNEL = ("dev.flutter.pigeon.wkwebview_host."
                          "WKWebViewConfiguration.getUserContentController")
UNKNOWN_OBJECT_CALL = bytes([12, 1, 128, 4]) + (99).to_bytes(8, "little")
UNKNOWN_OBJECT_LINE = b"Failed to find instance with identifier: 99\n"
F_SETPIPE_SZ = 1031


class LogWritesTest(unittest.TestCase):
    """Writes to standard error and standard output never end the host nor hold it: a line that
    cannot be written is dropped, and counted."""

    def start(self, stdout=None):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        path = os.path.join(folder.name, "host.sock")
        process = subprocess.Popen([desktop_host()], env=dict(os.environ, DART_SIDE_SOCKET=path),
                                   stdin=subprocess.DEVNULL, stdout=stdout,
                                   stderr=subprocess.PIPE)
        self.addCleanup(self.kill, process)
        # The smallest pipe the kernel gives: a few lines fill it.
        fcntl.fcntl(process.stderr.fileno(), F_SETPIPE_SZ, 4096)
        if process.stdout:
            fcntl.fcntl(process.stdout.fileno(), F_SETPIPE_SZ, 4096)
        log = b""
        deadline = time.monotonic() + TIMEOUT
        while b"Serving the Dart side on" not in log and time.monotonic() < deadline:
            chunk = os.read(process.stderr.fileno(), 4096)
            if not chunk:
                break
            log += chunk
        self.assertIn(b"Serving the Dart side on", log)
        return process, path

    @staticmethod
    def kill(process):
        if process.poll() is None:
            process.kill()
            process.wait()
        for stream in (process.stderr, process.stdout):
            if stream:
                stream.close()

    def connect_and_leave(self, path, count):
        """Dart sides that connect, break the protocol and go: two log lines each."""
        for _ in range(count):
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            sock.settimeout(TIMEOUT)
            sock.connect(path)
            sock.sendall(b"\x01\x00\x00\x00\x09")  # a length below 8
            try:
                while sock.recv(4096):
                    pass
            except OSError:
                pass
            sock.close()

    def test_a_log_whose_reader_has_gone_does_not_end_the_host(self):
        process, path = self.start()
        process.stderr.close()
        process.stderr = None
        # "A Dart side connected" is the next line the host writes.
        with DartSide.connect(path, TIMEOUT) as side:
            self.assertTrue(answers(side))
        self.connect_and_leave(path, 20)
        with DartSide.connect(path, TIMEOUT) as side:
            self.assertTrue(answers(side))
        process.send_signal(signal.SIGTERM)
        self.assertEqual(wait_for_exit(process, CLOSE_SECONDS), 0)
        self.assertFalse(os.path.exists(path))

    def test_a_log_nobody_reads_does_not_hold_the_host(self):
        process, path = self.start()
        # Far more than the pipe holds; the host goes on answering meanwhile. Were every line to
        # wait its 100 ms for the reader, the 600 lines would hold the host a minute; half of
        # that is far more than the connections take, however busy the machine.
        started = time.monotonic()
        self.connect_and_leave(path, 300)
        self.assertLess(time.monotonic() - started, 30.0)
        with DartSide.connect(path, TIMEOUT) as side:
            self.assertTrue(answers(side))
        # Reading again, the log says how many lines it dropped.
        drained = []
        reader = threading.Thread(target=lambda: drained.append(process.stderr.read()),
                                  daemon=True)
        reader.start()
        with DartSide.connect(path, TIMEOUT) as side:
            self.assertTrue(answers(side))
        process.send_signal(signal.SIGTERM)
        self.assertEqual(wait_for_exit(process, CLOSE_SECONDS), 0)
        reader.join(TIMEOUT)
        self.assertIn(b"could not be written and were dropped", drained[0])
        self.assertFalse(os.path.exists(path))

    def test_a_host_started_without_its_standard_descriptors_keeps_them_off_its_own_files(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        path = os.path.join(folder.name, "host.sock")
        process = subprocess.Popen([desktop_host()], env=dict(os.environ, DART_SIDE_SOCKET=path),
                                   preexec_fn=lambda: [os.close(fd) for fd in (0, 1, 2)])
        self.addCleanup(self.kill, process)
        self.assertTrue(wait_until(lambda: os.path.exists(path)), "the host never listened")
        with DartSide.connect(path, TIMEOUT) as side:
            # "A Dart side connected" has been written: into nothing the host itself uses.
            self.assertTrue(answers(side))
            for fd in (0, 1, 2):
                self.assertEqual(os.readlink(f"/proc/{process.pid}/fd/{fd}"), "/dev/null")
        process.send_signal(signal.SIGTERM)
        self.assertEqual(wait_for_exit(process, CLOSE_SECONDS), 0)
        self.assertFalse(os.path.exists(path))

    def test_an_output_nobody_reads_does_not_hold_the_host(self):
        process, path = self.start(stdout=subprocess.PIPE)
        with DartSide.connect(path, TIMEOUT) as side:
            # Far more lines than the pipe holds, each written on the main thread.
            for _ in range(300):
                self.assertIsNotNone(side.send_binary(UNKNOWN_OBJECT_CHANNEL, UNKNOWN_OBJECT_CALL,
                                                      ANSWER_SECONDS))
            self.assertTrue(answers(side))
            # Read again, the output says how many lines it dropped, then goes on.
            os.set_blocking(process.stdout.fileno(), False)
            try:
                while os.read(process.stdout.fileno(), 1 << 16):
                    pass
            except BlockingIOError:
                pass
            side.send_binary(UNKNOWN_OBJECT_CHANNEL, UNKNOWN_OBJECT_CALL, ANSWER_SECONDS)
            output = os.read(process.stdout.fileno(), 1 << 16)
        self.assertRegex(output, rb"^(\n)?DesktopHost\[\d+\] \(\d+ output lines could not be "
                                 rb"written and were dropped\)\n" + UNKNOWN_OBJECT_LINE + rb"$")
        process.send_signal(signal.SIGTERM)
        self.assertEqual(wait_for_exit(process, CLOSE_SECONDS), 0)


class FileSizeLimitTest(unittest.TestCase):
    """Under a file-size limit (prlimit --fsize) a write past it is an error return (SIGXFSZ is
    ignored); the store answers, and the host lives on."""

    def test_a_write_past_the_limit_fails_without_ending_the_host(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        environment = {name: os.path.join(folder.name, name.lower())
                       for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME")}
        limit = 1 << 20

        def limited():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        host = start_host("DESKTOP_HOST", environment=environment, preexec_fn=limited)
        self.addCleanup(host.close)
        with host.connect() as side:
            # Whatever the store answers (issue 39's), it answers.
            side.send_message(LEGACY_SET_VALUE, ["flutter.large", "x" * (2 * limit)],
                              ANSWER_SECONDS)
            self.assertIsNone(host.process.poll(), "\n".join(host.log_lines()))
            self.assertIsInstance(side.send_message(LEGACY_GET_ALL, ["flutter.", None],
                                                    ANSWER_SECONDS), list)
            self.assertTrue(answers(side))
        self.assertEqual(wait_for_exit_after(host, signal.SIGTERM), 0)


class FloodTest(unittest.TestCase):
    """A Dart side that calls as fast as it can while it reads every reply is slowed to the
    host's pace: the host's memory stays bounded and flat, SIGTERM ends it at once, and the next
    Dart side is answered soon after."""

    FLOOD_SECONDS = 8.0
    # The host's own memory in a sanitizer build, with the sanitizer's quarantine kept small:
    # about 200 MB at rest; a flood left unbounded passes a gigabyte within seconds.
    PEAK_BYTES = 700 << 20
    # Growth allowed after the first seconds.
    FLAT_BYTES = 64 << 20

    def start(self):
        options = os.environ.get("ASAN_OPTIONS", "")
        host = start_host("DESKTOP_HOST", environment={
            "ASAN_OPTIONS": (options + ":" if options else "") + "quarantine_size_mb=16"})
        self.addCleanup(host.close)
        return host

    def test_a_dart_side_calling_in_a_loop_keeps_the_host_bounded_and_obedient(self):
        host = self.start()
        pid = host.process.pid
        flood = started_flood(self, host, DISPLAY_WAKE, "enabled")
        sampler = RssSampler(pid).start()
        time.sleep(self.FLOOD_SECONDS)
        samples = sampler.stop()
        peak = peak_resident_bytes(pid)
        early = sampler.peak_between(0, 3.0)
        late = sampler.peak_between(3.0, self.FLOOD_SECONDS + 1)
        report = (f"peak {peak >> 20} MB, first 3 s {early >> 20} MB, after {late >> 20} MB, "
                  f"{flood.answered} answered of {flood.sent} sent; samples (s, MB): " +
                  ", ".join(f"{at:.1f}:{rss >> 20}" for at, rss in samples))
        print(report)
        self.assertLess(peak, self.PEAK_BYTES, report)
        self.assertLess(late, early + self.FLAT_BYTES, report)
        self.assertGreater(flood.answered, 1000, report)
        self.assertFalse(flood.closed_by_host, report)
        started = time.monotonic()
        host.process.send_signal(signal.SIGTERM)
        self.assertEqual(wait_for_exit(host.process, CLOSE_SECONDS), 0, report)
        print(f"SIGTERM obeyed in {time.monotonic() - started:.2f} s during the flood")

    def test_the_next_dart_side_is_answered_soon_after_a_flood(self):
        host = self.start()
        flood = started_flood(self, host, DEVICE_INFO, "getDeviceInfo")
        flooded = time.monotonic()
        time.sleep(4.0)
        flood.stop()
        rate = flood.answered / (time.monotonic() - flooded)
        started = time.monotonic()
        with host.connect() as side:
            self.assertTrue(answers(side, ANSWER_SECONDS))
        waited = time.monotonic() - started
        # What waited for the main thread when the flood ended: at most the bound's worth of
        # calls (1024), which the host answers at the rate it kept during the flood, so a busy
        # machine lengthens both alike. Unbounded, the wait is for all the flood sent.
        allowed = 5.0 + 2 * WAITING_FRAMES / max(rate, 1.0)
        print(f"{flood.answered} calls answered in 4 s ({rate:.0f} a second); the next Dart "
              f"side waited {waited:.2f} s (allowed {allowed:.1f} s)")
        self.assertLess(waited, allowed)
        self.assertEqual(wait_for_exit_after(host, signal.SIGTERM), 0)


class StartRaceTest(unittest.TestCase):
    """A start never waits on another listener, never takes a live socket for a stale one, and
    hosts started together on one path serve it once."""

    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.path = os.path.join(folder.name, "host.sock")

    def full_listener(self):
        """A listener that never accepts, its backlog full."""
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(listener.close)
        listener.bind(self.path)
        listener.listen(0)
        waiting = []
        self.addCleanup(lambda: [sock.close() for sock in waiting])
        while True:
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            sock.setblocking(False)
            try:
                sock.connect(self.path)
            except BlockingIOError:
                sock.close()
                break
            waiting.append(sock)
        return os.stat(self.path).st_ino

    def test_a_listener_with_a_full_backlog_is_refused_at_once(self):
        inode = self.full_listener()
        host = start_host("DESKTOP_HOST", self.path, wait_until_serving=False)
        self.addCleanup(host.close)
        # A probe that waits on the listener would never log it.
        line = host.wait_for_log("Not serving the Dart side", TIMEOUT)
        self.assertIn(f"another process is already listening on {self.path}", line)
        self.assertEqual(os.stat(self.path).st_ino, inode)
        self.assertEqual(wait_for_exit_after(host, signal.SIGTERM), 0)
        self.assertEqual(os.stat(self.path).st_ino, inode)

    def test_a_signal_during_the_start_leaves_a_live_socket_alone(self):
        inode = self.full_listener()
        host = start_host("DESKTOP_HOST", self.path, wait_until_serving=False)
        self.addCleanup(host.close)
        # Once the host takes SIGINT, and a moment more: a probe that waits is waiting by then.
        self.assertTrue(wait_until_catching(host.process.pid, signal.SIGINT))
        time.sleep(0.5)
        host.process.send_signal(signal.SIGINT)
        wait_for_exit(host.process, CLOSE_SECONDS)
        self.assertTrue(os.path.exists(self.path))
        self.assertEqual(os.stat(self.path).st_ino, inode)
        self.assertEqual(host.process.returncode, 0)

    def holds_open(self, pid, folder):
        """Whether the process has `folder` open: a host does while it waits for its lock."""
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                try:
                    if os.readlink(f"/proc/{pid}/fd/{fd}") == folder:
                        return True
                except FileNotFoundError:
                    pass
        except FileNotFoundError:
            pass
        return False

    def test_a_termination_signal_during_the_wait_for_the_folder_ends_the_start(self):
        folder = os.path.realpath(os.path.dirname(self.path))
        held = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
        self.addCleanup(os.close, held)
        # Held by another start for as long as the test runs: the hosts wait for it.
        fcntl.flock(held, fcntl.LOCK_EX)
        for attempt in range(3):
            hosts = {number: start_host("DESKTOP_HOST", os.path.join(folder, f"{number.name}.sock"),
                                        wait_until_serving=False)
                     for number in (signal.SIGINT, signal.SIGTERM)}
            for host in hosts.values():
                self.addCleanup(host.close)
            for number, host in hosts.items():
                self.assertTrue(wait_until(lambda: self.holds_open(host.process.pid, folder)),
                                "the host never waited for the folder's lock")
                host.process.send_signal(number)
            late = False
            for number, host in hosts.items():
                with self.subTest(signal=number.name, attempt=attempt):
                    status = wait_for_exit(host.process, CLOSE_SECONDS)
                    log = host.log_lines()
                    self.assertEqual(status, 0, "\n".join(log))
                    self.assertFalse(os.path.exists(host.socket_path))
                    requested = next(at for at, line in enumerate(log)
                                     if TERMINATION_LOG_LINE in line)
                    self.assertFalse([line for line in log[requested:] if SERVING in line],
                                     "\n".join(log))
                    if any(SERVING in line for line in log[:requested]):
                        # The lock's wait ended before the signal came: a machine too busy to
                        # send it in time. Tried again.
                        late = True
                        continue
                    # The wait ended for the termination, not at the lock's deadline. The start
                    # is stopped before the request is logged, so its line may come first.
                    self.assertTrue([line for line in log
                                     if "Not serving the Dart side: the host is ending" in line],
                                    "\n".join(log))
            if not late:
                return
        self.fail("every signal came after the wait for the folder's lock had ended")

    def test_hosts_started_together_on_one_path_serve_it_once(self):
        count = 6
        with ThreadPoolExecutor(max_workers=count) as pool:
            hosts = list(pool.map(
                lambda _: start_host("DESKTOP_HOST", self.path, wait_until_serving=False),
                range(count)))
        self.addCleanup(close_all, hosts)
        outcomes = []
        for host in hosts:
            deadline = time.monotonic() + TIMEOUT
            while time.monotonic() < deadline:
                if host.count_log_lines("Serving the Dart side on"):
                    outcomes.append("serving")
                    break
                if host.count_log_lines("another process is already listening on"):
                    outcomes.append("refused")
                    break
                time.sleep(0.05)
            else:
                outcomes.append("silent")
        self.assertEqual(sorted(outcomes), ["refused"] * (count - 1) + ["serving"],
                         "\n".join(line for host in hosts for line in host.log_lines()))
        serving = hosts[outcomes.index("serving")]
        with serving.connect() as side:
            self.assertTrue(answers(side))
        for host in hosts:
            host.process.send_signal(signal.SIGTERM)
        for host in hosts:
            self.assertEqual(wait_for_exit(host.process, CLOSE_SECONDS), 0)
        self.assertFalse(os.path.exists(self.path))


if __name__ == "__main__":
    unittest.main()
