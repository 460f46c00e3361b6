"""What the end-to-end tests share: the executables under test and raw socket helpers."""

import os
import socket
import time

from dart_side import HostProcess

# Generous: hosts built with sanitizers start slowly on a loaded CI machine.
TIMEOUT = 30.0


def executable(variable):
    path = os.environ.get(variable)
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError(f"{variable} does not name a built executable: {path}")
    return path


def start_host(variable, socket_path=None, wait_until_serving=True, **options):
    """`options` go to HostProcess (environment, preexec_fn)."""
    host = HostProcess(executable(variable), socket_path=socket_path, **options)
    host.start(wait_until_serving, TIMEOUT)
    return host


def raw_connection(path):
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.settimeout(TIMEOUT)
    sock.connect(path)
    return sock


def closed_by_peer(sock):
    """True once the host closes the connection (within the socket's timeout)."""
    try:
        while sock.recv(4096):
            pass
        return True
    except socket.timeout:
        return False
    except ConnectionResetError:
        return True


def next_named(stream, name, timeout):
    """The next event named `name`, skipping others; fails on an error event or the time limit."""
    deadline = time.monotonic() + timeout
    while True:
        event = stream.next(max(0.0, deadline - time.monotonic()))
        if event.kind == "error":
            raise AssertionError(f"error event: {event.error.code} {event.error.message}")
        if event.kind == "value" and event.value.get("event") == name:
            return event.value
