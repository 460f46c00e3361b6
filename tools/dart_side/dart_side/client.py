"""The Dart side of the host, out of process: method calls, messages and event streams over the
host's socket, and handlers for the host's calls to the Dart side."""

import itertools
import os
import queue
import socket
import threading
from dataclasses import dataclass
from typing import Any, Optional

from . import codec
from .frames import (MESSAGE_FROM_DART_SIDE, MESSAGE_FROM_HOST, REPLY_FROM_DART_SIDE,
                     REPLY_FROM_HOST, FrameError, FrameReader, encode_frame)

# How long a call waits for its answer. Hosts built with sanitizers on a loaded machine answer
# slowly; their tests raise it through the environment.
DEFAULT_TIMEOUT = float(os.environ.get("DART_SIDE_TIMEOUT", "10"))


class PlatformException(Exception):
    """The host answered with an error envelope."""

    def __init__(self, code, message=None, details=None):
        super().__init__(f"{code}: {message}" if message is not None else code)
        self.code, self.message, self.details = code, message, details


class MissingPluginException(Exception):
    """Nothing on the other side handles the call (an empty reply)."""


class ConnectionClosed(Exception):
    """The connection to the host ended."""


# Returned by a handler of the host's calls to leave the call unanswered.
NO_REPLY = object()


@dataclass(frozen=True)
class Event:
    """One event of an event stream: a value, an error, or the end of the stream."""
    kind: str  # "value", "error" or "end"
    value: Any = None
    error: Optional[PlatformException] = None


class EventStream:
    """The events of one event channel, from listen until cancel or the end of the stream."""

    def __init__(self, side, channel):
        self._side, self.channel = side, channel
        self._events = queue.Queue()

    def next(self, timeout=DEFAULT_TIMEOUT):
        """The next event; raises TimeoutError when none comes in time."""
        try:
            event = self._events.get(timeout=timeout)
        except queue.Empty:
            raise TimeoutError(f"no event on '{self.channel}' within {timeout} s") from None
        if isinstance(event, ConnectionClosed):
            raise event
        return event

    def __iter__(self):
        """The events up to the end of the stream."""
        while True:
            event = self.next()
            if event.kind == "end":
                return
            yield event

    def cancel(self, arguments=None, timeout=DEFAULT_TIMEOUT):
        try:
            self._side.invoke_method(self.channel, "cancel", arguments, timeout)
        finally:
            self._side._streams.pop(self.channel, None)

    def _receive(self, payload):
        if payload is None:
            self._events.put(Event("end"))
            return
        outcome, value = codec.decode_envelope(payload)
        if outcome == "success":
            self._events.put(Event("value", value=value))
        else:
            self._events.put(Event("error", error=PlatformException(*value)))


class _Pending:
    def __init__(self):
        self.done = threading.Event()
        self.payload = None
        self.error = None


class DartSide:
    """A connection to the host's socket. Use connect(), then call; close() when done."""

    def __init__(self, sock):
        self._socket = sock
        self._send_lock = threading.Lock()
        self._lock = threading.Lock()
        self._ids = itertools.count(1)
        self._pending = {}
        self._streams = {}
        self._method_handlers = {}
        self._message_handlers = {}
        self._closed = None
        # The host's messages are handled on a thread of their own, so that a handler may call
        # the host and wait for the answer.
        self._inbox = queue.Queue()
        self._reader = threading.Thread(target=self._read_frames, daemon=True)
        self._worker = threading.Thread(target=self._handle_host_messages, daemon=True)
        self._reader.start()
        self._worker.start()

    @classmethod
    def connect(cls, path, timeout=DEFAULT_TIMEOUT):
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.settimeout(timeout)
        try:
            sock.connect(path)
        except OSError:
            sock.close()
            raise
        sock.settimeout(None)
        return cls(sock)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Ends the connection; calls still waiting raise ConnectionClosed."""
        try:
            self._socket.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._reader.join()
        self._inbox.put(None)
        if threading.current_thread() is not self._worker:
            self._worker.join()
        self._socket.close()

    # -- calling the host ---------------------------------------------------------------------

    def send_binary(self, channel, payload, timeout=DEFAULT_TIMEOUT):
        """Sends raw bytes (or None) on `channel`; the host's reply bytes, or None for no reply."""
        pending = _Pending()
        with self._lock:
            if self._closed:
                raise ConnectionClosed(self._closed)
            frame_id = next(self._ids) & 0xFFFFFFFF
            self._pending[frame_id] = pending
        self._send(MESSAGE_FROM_DART_SIDE, frame_id, channel, payload)
        if not pending.done.wait(timeout):
            with self._lock:
                self._pending.pop(frame_id, None)
            raise TimeoutError(f"no reply on '{channel}' within {timeout} s")
        if pending.error:
            raise pending.error
        return pending.payload

    def invoke_method(self, channel, method, arguments=None, timeout=DEFAULT_TIMEOUT):
        """The method's result. Raises PlatformException for an error answer and
        MissingPluginException when nothing on the host handles the call."""
        reply = self.send_binary(channel, codec.encode_method_call(method, arguments), timeout)
        if not reply:
            raise MissingPluginException(f"no implementation for '{method}' on '{channel}'")
        outcome, value = codec.decode_envelope(reply)
        if outcome == "error":
            raise PlatformException(*value)
        return value

    def send_message(self, channel, message, timeout=DEFAULT_TIMEOUT):
        """The decoded reply to a message on a message channel, or None when nothing answers."""
        reply = self.send_binary(channel, codec.encode_value(message), timeout)
        return codec.decode_value(reply) if reply else None

    def listen(self, channel, arguments=None, timeout=DEFAULT_TIMEOUT):
        """Starts the event channel's stream; raises PlatformException if the host refuses."""
        stream = EventStream(self, channel)
        self._streams[channel] = stream
        try:
            self.invoke_method(channel, "listen", arguments, timeout)
        except Exception:
            self._streams.pop(channel, None)
            raise
        return stream

    # -- the host calling us ------------------------------------------------------------------

    def set_method_call_handler(self, channel, handler):
        """handler(method, arguments) answers the host's calls on `channel`: its return value,
        PlatformException for an error, MissingPluginException for not implemented, or NO_REPLY
        to leave the call unanswered. None removes the handler."""
        self._set_handler(self._method_handlers, channel, handler)

    def set_message_handler(self, channel, handler):
        """handler(message) answers the host's messages on `channel` with a value (or NO_REPLY)."""
        self._set_handler(self._message_handlers, channel, handler)

    @staticmethod
    def _set_handler(handlers, channel, handler):
        if handler is None:
            handlers.pop(channel, None)
        else:
            handlers[channel] = handler

    # -- frames -------------------------------------------------------------------------------

    def _send(self, kind, frame_id, channel, payload):
        data = encode_frame(kind, frame_id, channel, payload)
        try:
            with self._send_lock:
                self._socket.sendall(data)
        except OSError as error:
            raise ConnectionClosed(f"sending failed: {error}") from None

    def _read_frames(self):
        reader = FrameReader()
        reason = "the host closed the connection"
        try:
            while True:
                data = self._socket.recv(65536)
                if not data:
                    break
                reader.feed(data)
                for frame in reader.frames():
                    if frame.kind == REPLY_FROM_HOST:
                        self._resolve(frame.id, frame.payload)
                    elif frame.kind == MESSAGE_FROM_HOST:
                        self._inbox.put(frame)
                    else:
                        raise FrameError(f"the host sent a frame of kind {frame.kind}")
        except (OSError, FrameError) as error:
            reason = str(error)
        with self._lock:
            self._closed = reason
            pending, self._pending = self._pending, {}
        for waiting in pending.values():
            waiting.error = ConnectionClosed(reason)
            waiting.done.set()
        for stream in list(self._streams.values()):
            stream._events.put(ConnectionClosed(reason))

    def _resolve(self, frame_id, payload):
        with self._lock:
            pending = self._pending.pop(frame_id, None)
        if pending:
            pending.payload = payload
            pending.done.set()

    def _handle_host_messages(self):
        while (frame := self._inbox.get()) is not None:
            answer = self._answer(frame.channel, frame.payload)
            if answer is not NO_REPLY:
                try:
                    self._send(REPLY_FROM_DART_SIDE, frame.id, "", answer)
                except ConnectionClosed:
                    pass

    def _answer(self, channel, payload):
        """The reply bytes for a message from the host (None: no handler), or NO_REPLY."""
        stream = self._streams.get(channel)
        if stream:
            stream._receive(payload)
            return None
        if channel in self._method_handlers:
            return self._answer_call(self._method_handlers[channel], payload)
        if channel in self._message_handlers:
            try:
                result = self._message_handlers[channel](codec.decode_value(payload))
                return result if result is NO_REPLY else codec.encode_value(result)
            except Exception:  # nothing sensible to answer: as if unhandled
                return None
        return None

    @staticmethod
    def _answer_call(handler, payload):
        try:
            method, arguments = codec.decode_method_call(payload or b"")
            result = handler(method, arguments)
        except PlatformException as error:
            return codec.encode_error_envelope(error.code, error.message, error.details)
        except MissingPluginException:
            return None
        except codec.CodecError as error:
            return codec.encode_error_envelope("malformed_message", str(error))
        except Exception as error:  # a failing handler answers an error, as on the Dart side
            return codec.encode_error_envelope("error", str(error))
        if result is NO_REPLY:
            return NO_REPLY
        return codec.encode_success_envelope(result)
