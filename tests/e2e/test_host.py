"""The real host, driven through its socket as the application's Dart side drives it."""

import os
import socket
import stat
import struct
import tempfile
import unittest

from dart_side import MissingPluginException, PlatformException, codec
from dart_side.frames import MESSAGE_FROM_DART_SIDE, REPLY_FROM_HOST, encode_frame
from e2e_support import TIMEOUT, closed_by_peer, raw_connection, start_host

PLATFORM_VIEWS = "flutter/platform_views"
CLOSED_LINE = "Closed the Dart side's connection"


class HostAnswersTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def test_socket_file_is_private_to_its_owner(self):
        mode = os.lstat(self.host.socket_path).st_mode
        self.assertTrue(stat.S_ISSOCK(mode))
        self.assertEqual(stat.S_IMODE(mode), 0o600)

    def test_a_channel_without_handler_gives_an_empty_reply(self):
        with self.host.connect() as side:
            self.assertIsNone(side.send_binary("absent/channel", b"\x01", TIMEOUT))
            with self.assertRaises(MissingPluginException):
                side.invoke_method("absent/channel", "anything", {"a": 1})
            self.assertIsNone(side.send_message("absent/channel", [1, "two"]))

    def test_the_engines_platform_view_channel_answers(self):
        with self.host.connect() as side:
            with self.assertRaises(PlatformException) as unknown:
                side.invoke_method(PLATFORM_VIEWS, "dispose", 42)
            self.assertEqual(unknown.exception.code, "unknown_view")
            with self.assertRaises(PlatformException) as unregistered:
                side.invoke_method(PLATFORM_VIEWS, "create", {"id": 1, "viewType": "no_such"})
            self.assertEqual(unregistered.exception.code, "unregistered_view_type")
            with self.assertRaises(MissingPluginException):
                side.invoke_method(PLATFORM_VIEWS, "resize", None)
            outcome, (code, _, _) = codec.decode_envelope(
                side.send_binary(PLATFORM_VIEWS, b"\x07\xff", TIMEOUT))
            self.assertEqual((outcome, code), ("error", "malformed_message"))

    def test_hostile_frames_close_their_connection_and_the_host_keeps_serving(self):
        good = encode_frame(MESSAGE_FROM_DART_SIDE, 1, PLATFORM_VIEWS, b"")
        hostile = {
            "length below the fixed fields": struct.pack("<I", 3) + b"\x01\x00\x00",
            "length beyond the limit": struct.pack("<I", 0xFFFFFFF0) + b"\x01",
            "unknown kind": good[:4] + b"\x09" + good[5:],
            "a kind only the host sends": encode_frame(REPLY_FROM_HOST, 1, "", None),
            "has-payload byte of 7": good[:-1] + b"\x07",
            "channel name that is not UTF-8":
                encode_frame(MESSAGE_FROM_DART_SIDE, 1, "x", None).replace(b"x", b"\xff"),
            "body cut short by the end of the connection": None,
        }
        # The host may still be logging the end of the other tests' good connections.
        connected = self.host.count_log_lines("A Dart side connected")
        if connected:
            self.host.wait_for_log("The Dart side disconnected", TIMEOUT, count=connected)
        closed_before = self.host.count_log_lines(CLOSED_LINE)
        disconnected_before = self.host.count_log_lines("The Dart side disconnected")
        for number, (description, data) in enumerate(hostile.items(), start=1):
            with self.subTest(description), raw_connection(self.host.socket_path) as sock:
                if data is None:
                    sock.sendall(good[:-3])
                    sock.shutdown(socket.SHUT_WR)
                else:
                    sock.sendall(data)
                self.assertTrue(closed_by_peer(sock))
                self.host.wait_for_log(CLOSED_LINE, TIMEOUT, count=closed_before + number)
        self.assertEqual(self.host.count_log_lines(CLOSED_LINE), closed_before + len(hostile))
        self.assertEqual(self.host.count_log_lines("The Dart side disconnected"),
                         disconnected_before, "one log line per bad connection")
        with self.host.connect() as side:
            with self.assertRaises(PlatformException):
                side.invoke_method(PLATFORM_VIEWS, "dispose", 1)


class HostLifecycleTest(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.directory.name, "host.sock")

    def tearDown(self):
        self.directory.cleanup()

    def test_sigterm_closes_the_window_ends_cleanly_and_removes_the_socket(self):
        # A stale socket from a run that died is replaced.
        stale = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        stale.bind(self.path)
        stale.close()
        host = start_host("DESKTOP_HOST", self.path)
        try:
            side = host.connect()
            with self.assertRaises(PlatformException):
                side.invoke_method(PLATFORM_VIEWS, "dispose", 1)
            self.assertEqual(host.terminate(TIMEOUT), 0)
            side.close()
            self.assertFalse(os.path.exists(self.path))
            self.assertGreaterEqual(host.count_log_lines("closing the main window"), 1)
        finally:
            host.close()

    def test_a_path_that_is_not_a_socket_is_refused_and_left_alone(self):
        with open(self.path, "w") as file:
            file.write("precious")
        host = start_host("DESKTOP_HOST", self.path, wait_until_serving=False)
        try:
            line = host.wait_for_log("Not serving the Dart side", TIMEOUT)
            self.assertIn("is not a socket", line)
            self.assertEqual(host.terminate(TIMEOUT), 0)
        finally:
            host.close()
        with open(self.path) as file:
            self.assertEqual(file.read(), "precious")


if __name__ == "__main__":
    unittest.main()
