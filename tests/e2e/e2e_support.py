"""What the end-to-end tests share: the executables under test and raw socket helpers."""

import os
import socket

from dart_side import HostProcess

# Generous: hosts built with sanitizers start slowly on a loaded CI machine.
TIMEOUT = 30.0


def executable(variable):
    path = os.environ.get(variable)
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError(f"{variable} does not name a built executable: {path}")
    return path


def start_host(variable, socket_path=None, wait_until_serving=True):
    host = HostProcess(executable(variable), socket_path=socket_path)
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
