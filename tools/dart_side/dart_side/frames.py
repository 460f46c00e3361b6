"""The socket transport's frames: uint32 length of the rest, uint8 kind, uint32 id, uint16
channel-name length, the name, uint8 has-payload (0 or 1), the payload; little-endian."""

import struct
from dataclasses import dataclass
from typing import Optional

MESSAGE_FROM_DART_SIDE = 1
REPLY_FROM_HOST = 2
MESSAGE_FROM_HOST = 3
REPLY_FROM_DART_SIDE = 4

# The host refuses longer frames; the same bound keeps this side from trusting a wild length.
MAX_FRAME_LENGTH = 64 << 20
_FIXED = struct.Struct("<BIH")  # kind, id, name length
_LENGTH = struct.Struct("<I")


class FrameError(ValueError):
    """A byte stream that is not a sequence of well-formed frames."""


@dataclass(frozen=True)
class Frame:
    kind: int
    id: int
    channel: str
    payload: Optional[bytes]  # None: a null message, or no reply


def encode_frame(kind, frame_id, channel, payload):
    name = channel.encode("utf-8")
    body = _FIXED.pack(kind, frame_id, len(name)) + name
    body += b"\x00" if payload is None else b"\x01" + bytes(payload)
    if len(body) > MAX_FRAME_LENGTH:
        raise FrameError(f"frame of {len(body)} bytes exceeds the limit of {MAX_FRAME_LENGTH}")
    return _LENGTH.pack(len(body)) + body


class FrameReader:
    """Cuts a byte stream into frames; feed() whatever arrives, then take frames()."""

    def __init__(self):
        self._buffer = bytearray()

    def has_partial_frame(self):
        return bool(self._buffer)

    def feed(self, data):
        self._buffer += data

    def frames(self):
        """Every whole frame received so far. Raises FrameError on a malformed one."""
        while len(self._buffer) >= _LENGTH.size:
            (length,) = _LENGTH.unpack_from(self._buffer)
            if length < _FIXED.size + 1 or length > MAX_FRAME_LENGTH:
                raise FrameError(f"frame length {length} out of range")
            if len(self._buffer) < _LENGTH.size + length:
                return
            body = bytes(self._buffer[_LENGTH.size:_LENGTH.size + length])
            del self._buffer[:_LENGTH.size + length]
            yield _parse(body)


def _parse(body):
    kind, frame_id, name_length = _FIXED.unpack_from(body)
    rest = body[_FIXED.size:]
    if kind not in (1, 2, 3, 4):
        raise FrameError(f"unknown frame kind {kind}")
    if name_length >= len(rest):
        raise FrameError("channel name overruns its frame")
    try:
        channel = rest[:name_length].decode("utf-8")
    except UnicodeDecodeError:
        raise FrameError("channel name is not UTF-8") from None
    has_payload = rest[name_length]
    payload = rest[name_length + 1:]
    if has_payload not in (0, 1) or (has_payload == 0 and payload):
        raise FrameError("malformed payload flag")
    return Frame(kind, frame_id, channel, payload if has_payload else None)
