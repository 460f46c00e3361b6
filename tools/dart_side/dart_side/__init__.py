"""A Dart side for the host, out of process, over the host's socket (DART_SIDE_SOCKET)."""

from .client import (NO_REPLY, ConnectionClosed, DartSide, Event, EventStream,
                     MissingPluginException, PlatformException)
from .codec import CodecError, decode_value, encode_value
from .host_process import HostProcess

__all__ = [
    "NO_REPLY", "CodecError", "ConnectionClosed", "DartSide", "Event", "EventStream",
    "HostProcess", "MissingPluginException", "PlatformException", "decode_value", "encode_value",
]
