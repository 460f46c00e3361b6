"""The socket end to end where the real host has nothing to offer yet: every codec value, event
channels, message channels and the host's calls to the Dart side, through the fixture host."""

import array
import threading
import unittest

from dart_side import NO_REPLY, ConnectionClosed, MissingPluginException, PlatformException
from e2e_support import TIMEOUT, start_host

METHODS = "e2e.fixture/methods"
TO_DART = "e2e.fixture/dart"


class FixtureHostTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host("E2E_FIXTURE_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def setUp(self):
        self.side = self.host.connect()

    def tearDown(self):
        self.side.close()

    def test_every_codec_value_survives_the_round_trip(self):
        value = {
            "null": None, "true": True, "false": False,
            "int32": [0, -1, 2**31 - 1, -(2**31)], "int64": [2**31, -(2**31) - 1, 2**63 - 1],
            "float": [0.5, -1e300], "string": ["", "héllo ✓", "x" * 254, "y" * 70000],
            "bytes": bytes(range(256)),
            "int32 list": array.array("i", [1, -2]), "int64 list": array.array("q", [2**40]),
            "float32 list": array.array("f", [1.5, -2.25]),
            "float64 list": array.array("d", [3.125]),
            "nested": [[1, [2, {"deep": [None]}]], {}], 7: "integer key",
        }
        self.assertEqual(self.side.invoke_method(METHODS, "echo", value), value)
        self.assertEqual(self.side.send_message("e2e.fixture/messages", value), value)

    def test_error_answers_carry_code_message_and_details(self):
        with self.assertRaises(PlatformException) as failed:
            self.side.invoke_method(METHODS, "fail", {"why": [1, 2]})
        self.assertEqual(failed.exception.code, "fixture_error")
        self.assertEqual(failed.exception.message, "failed as asked")
        self.assertEqual(failed.exception.details, {"why": [1, 2]})
        with self.assertRaises(MissingPluginException):
            self.side.invoke_method(METHODS, "noSuchMethod")

    def test_an_event_channel_streams_values_an_error_and_the_end(self):
        stream = self.side.listen("e2e.fixture/events", {"count": 3})
        events = list(stream)
        self.assertEqual([event.value for event in events[:3]], [0, 1, 2])
        self.assertEqual(events[3].kind, "error")
        self.assertEqual(events[3].error.code, "fixture_event_error")
        self.assertEqual(len(events), 4)
        stream.cancel()
        with self.assertRaises(PlatformException) as refused:
            self.side.listen("e2e.fixture/events", {"count": "three"})
        self.assertEqual(refused.exception.code, "bad_arguments")

    def test_the_hosts_calls_get_the_dart_sides_answers(self):
        def handler(method, arguments):
            if method == "double":
                return arguments * 2
            if method == "refuse":
                raise PlatformException("refused", "no thanks", arguments)
            raise MissingPluginException()

        self.side.set_method_call_handler(TO_DART, handler)
        ask = lambda method, arguments=None: self.side.invoke_method(
            METHODS, "askDart", {"method": method, "arguments": arguments})
        self.assertEqual(ask("double", 21), {"outcome": "success", "value": 42})
        self.assertEqual(ask("refuse", [1]), {"outcome": "error", "code": "refused",
                                              "message": "no thanks", "details": [1]})
        self.assertEqual(ask("unknown"), {"outcome": "notImplemented"})
        self.side.set_method_call_handler(TO_DART, None)
        self.assertEqual(ask("double", 1), {"outcome": "notImplemented"})

    def test_a_call_left_unanswered_gets_no_reply_when_the_dart_side_leaves(self):
        asked = threading.Event()

        def never_answer(method, arguments):
            asked.set()
            return NO_REPLY

        self.side.set_method_call_handler(TO_DART, never_answer)
        failures = []

        def ask():
            try:
                self.side.invoke_method(METHODS, "askDart", {"method": "wait"})
            except ConnectionClosed as error:
                failures.append(error)

        caller = threading.Thread(target=ask)
        caller.start()
        self.assertTrue(asked.wait(TIMEOUT))
        self.assertIsNone(self.side.invoke_method(METHODS, "lastOutcome"), "still waiting")
        self.side.close()
        caller.join(TIMEOUT)
        self.assertEqual(len(failures), 1)

        self.side = self.host.connect()
        self.assertEqual(self.side.invoke_method(METHODS, "lastOutcome"),
                         {"outcome": "notImplemented"})


if __name__ == "__main__":
    unittest.main()
