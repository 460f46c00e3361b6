"""What the host-life tests share: hosts started in parallel, a Dart side that floods the host
with calls while it reads every reply, and the host's memory and threads as /proc shows them."""

import os
import signal
import socket
import struct
import subprocess
import threading
import time
from concurrent.futures import ThreadPoolExecutor

from dart_side.codec import encode_method_call
from dart_side.frames import MESSAGE_FROM_DART_SIDE, encode_frame
from e2e_support import TIMEOUT, executable, start_host

DISPLAY_WAKE = "display_wake_macos"
DEVICE_INFO = "dev.velmora.desktop/device_info"
TERMINATION_LOG_LINE = "Termination requested"
TERMINATION_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


def start_hosts(count, variable="DESKTOP_HOST"):
    """`count` hosts, each on a socket of its own, started together."""
    with ThreadPoolExecutor(max_workers=count) as pool:
        return list(pool.map(lambda _: start_host(variable), range(count)))


def close_all(hosts):
    for host in hosts:
        host.close()


def wait_for_exit(process, timeout):
    """The exit status, or None if the process is still running after `timeout` seconds."""
    try:
        return process.wait(timeout)
    except subprocess.TimeoutExpired:
        return None


def status_field(pid, field, task=None):
    path = f"/proc/{pid}/task/{task}/status" if task else f"/proc/{pid}/status"
    with open(path) as status:
        for line in status:
            if line.startswith(field + ":"):
                return line.split(":", 1)[1].strip()
    return None


def resident_bytes(pid):
    value = status_field(pid, "VmRSS")
    return int(value.split()[0]) * 1024 if value else 0


def peak_resident_bytes(pid):
    value = status_field(pid, "VmHWM")
    return int(value.split()[0]) * 1024 if value else 0


def signal_set(mask):
    """The signal numbers in a /proc status mask (SigBlk, SigIgn...)."""
    bits = int(mask, 16)
    return {number for number in range(1, 65) if bits & (1 << (number - 1))}


def threads(pid):
    """{thread id: its name} of the process."""
    found = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/comm") as comm:
                found[int(task)] = comm.read().strip()
        except FileNotFoundError:
            pass
    return found


def call_frames(channel, method, arguments=None, count=1000):
    """`count` method calls on `channel`, as the bytes of one write."""
    message = encode_method_call(method, arguments)
    return b"".join(encode_frame(MESSAGE_FROM_DART_SIDE, frame_id, channel, message)
                    for frame_id in range(1, count + 1))


class Flood:
    """A Dart side that sends one call again and again, as fast as the host takes them, while it
    reads every reply: started with start(), ended with stop(). `answered` counts the replies."""

    def __init__(self, path, channel=DISPLAY_WAKE, method="enabled", arguments=None):
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.settimeout(TIMEOUT)
        self._socket.connect(path)
        self._block = call_frames(channel, method, arguments)
        self._stopping = threading.Event()
        self.answered = 0
        self.sent = 0
        self.closed_by_host = False
        self._sender = threading.Thread(target=self._send, daemon=True)
        self._reader = threading.Thread(target=self._read, daemon=True)

    def start(self):
        self._sender.start()
        self._reader.start()
        return self

    def stop(self):
        if self._stopping.is_set():
            return
        self._stopping.set()
        try:
            self._socket.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._sender.join()
        self._reader.join()
        self._socket.close()

    def _send(self):
        self._socket.settimeout(0.2)
        while not self._stopping.is_set():
            view = memoryview(self._block)
            while view and not self._stopping.is_set():
                try:
                    view = view[self._socket.send(view):]
                except socket.timeout:
                    continue
                except OSError:
                    return
            self.sent += 1000

    def _read(self):
        pending = b""
        while True:
            try:
                data = self._socket.recv(1 << 20)
            except socket.timeout:
                if self._stopping.is_set():
                    return
                continue
            except OSError:
                return
            if not data:
                self.closed_by_host = not self._stopping.is_set()
                return
            pending += data
            offset = 0
            while len(pending) - offset >= 4:
                (length,) = struct.unpack_from("<I", pending, offset)
                if len(pending) - offset < 4 + length:
                    break
                offset += 4 + length
                self.answered += 1
            pending = pending[offset:]


class RssSampler:
    """Samples a process's resident memory every `interval` seconds on a thread of its own."""

    def __init__(self, pid, interval=0.25):
        self.pid = pid
        self.samples = []  # (seconds since start, bytes)
        self._interval = interval
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._start = time.monotonic()

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        if self._stopping.is_set():
            return
        self._stopping.set()
        self._thread.join()
        return self.samples

    def peak_between(self, first, last):
        values = [rss for at, rss in self.samples if first <= at <= last]
        return max(values) if values else 0

    def _run(self):
        while not self._stopping.wait(self._interval):
            try:
                self.samples.append((time.monotonic() - self._start, resident_bytes(self.pid)))
            except (FileNotFoundError, ProcessLookupError):
                return


def host_environment(**extra):
    environment = dict(os.environ, **extra)
    return environment


def desktop_host():
    return executable("DESKTOP_HOST")
