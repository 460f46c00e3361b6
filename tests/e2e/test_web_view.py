"""The web view driven through the real host's socket, as the application's Dart side drives it."""

import struct
import threading
import unittest
from dataclasses import dataclass

from dart_side import DartSide, codec
from dart_side.frames import REPLY_FROM_DART_SIDE
from e2e_support import TIMEOUT, start_host

PREFIX = "dev.flutter.pigeon.wkwebview_host."
OBJECT_TAG = 128
NAVIGATION_ACTION_POLICY_TAG = 135
NAVIGATION_RESPONSE_POLICY_TAG = 136
ALLOW = 0

CONFIGURATION, WEB_VIEW, MESSAGE_HANDLER, NAVIGATION_DELEGATE = 1, 2, 3, 4


@dataclass(frozen=True)
class Ref:
    identifier: int


@dataclass(frozen=True)
class Case:
    tag: int
    raw: int


def encode(value):
    """The proxy codec's bytes: the standard codec plus object references and enumerations."""
    out = bytearray()

    def write(item):
        if isinstance(item, (Ref, Case)):
            out.append(OBJECT_TAG if isinstance(item, Ref) else item.tag)
            out.append(codec.INT64)
            out.extend(struct.pack("<q", item.identifier if isinstance(item, Ref) else item.raw))
        elif isinstance(item, (list, tuple)):
            out.append(codec.LIST)
            out.append(len(item))
            for element in item:
                write(element)
        elif isinstance(item, (float, dict)):
            raise ValueError("not needed by these tests")
        else:
            out.extend(codec.encode_value(item))

    write(value)
    return bytes(out)


class _ProxyReader(codec._Reader):
    def value(self, depth=0):
        kind = self.data[self.position] if self.has_more() else None
        if kind is None or kind < OBJECT_TAG:
            return super().value(depth)
        self.position += 1
        raw = super().value(depth + 1)
        return Ref(raw) if kind == OBJECT_TAG else Case(kind, raw)


def decode(data):
    if not data:
        return None
    reader = _ProxyReader(data)
    value = reader.value()
    if reader.has_more():
        raise codec.CodecError("bytes left after the value")
    return value


class WebKitSide(DartSide):
    """A Dart side that speaks the web view's proxy codec. Calls from the host go to a handler
    by operation name, with a function that answers them, now or later; calls without a
    handler are recorded and answered with success at once."""

    def __init__(self, sock):
        self.handlers = {}
        self.calls = []
        self.called = threading.Condition()
        super().__init__(sock)

    def call(self, operation, *arguments):
        """The host operation's result; fails the test on an error answer."""
        reply = decode(self.send_binary(PREFIX + operation, encode(list(arguments)), TIMEOUT))
        if not isinstance(reply, list) or len(reply) != 1:
            raise AssertionError(f"{operation} answered {reply!r}")
        return reply[0]

    def wait_for_call(self, operation, count=1):
        """The arguments of the `count`-th call to `operation`, once it has come."""
        with self.called:
            if not self.called.wait_for(lambda: len(self.calls_to(operation)) >= count, TIMEOUT):
                raise AssertionError(f"no call {count} to {operation} among {len(self.calls)}"
                                     f" calls, the last {self.calls[-3:]!r}")
            return self.calls_to(operation)[count - 1]

    def calls_to(self, operation):
        return [arguments for name, arguments in self.calls if name == operation]

    def _handle_host_messages(self):
        while (frame := self._inbox.get()) is not None:
            operation = frame.channel.removeprefix(PREFIX)
            arguments = decode(frame.payload)
            answer = self._answerer(frame.id)
            handler = self.handlers.get(operation)
            with self.called:
                self.calls.append((operation, arguments))
                self.called.notify_all()
            if handler:
                handler(arguments, answer)
            else:
                answer([])

    def _answerer(self, frame_id):
        def answer(value):
            self._send(REPLY_FROM_DART_SIDE, frame_id, "", encode(value))
        return answer


class WebViewTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def setUp(self):
        self.side = WebKitSide.connect(self.host.socket_path)
        self.addCleanup(self.side.close)

    def make_web_view(self):
        side = self.side
        side.call("WKWebViewConfiguration.pigeon_defaultConstructor", CONFIGURATION)
        controller = side.call("WKWebViewConfiguration.getUserContentController",
                               Ref(CONFIGURATION))
        self.assertIsInstance(controller, Ref)
        self.assertGreaterEqual(controller.identifier, 65536)
        self.assertEqual(side.wait_for_call("WKUserContentController.pigeon_newInstance"),
                         [controller.identifier])
        side.call("WKScriptMessageHandler.pigeon_defaultConstructor", MESSAGE_HANDLER)
        side.call("WKUserContentController.addScriptMessageHandler", controller,
                  Ref(MESSAGE_HANDLER), "bridge")
        side.call("NSViewWKWebView.pigeon_defaultConstructor", WEB_VIEW, Ref(CONFIGURATION))
        side.call("WKNavigationDelegate.pigeon_defaultConstructor", NAVIGATION_DELEGATE)
        side.call("NSViewWKWebView.setNavigationDelegate", Ref(WEB_VIEW), Ref(NAVIGATION_DELEGATE))
        return controller

    def test_a_page_loads_after_a_late_decision_runs_scripts_and_posts_messages(self):
        side = self.side
        held = []
        side.handlers["WKNavigationDelegate.decidePolicyForNavigationAction"] = (
            lambda arguments, answer: held.append(answer))
        side.handlers["WKNavigationDelegate.decidePolicyForNavigationResponse"] = (
            lambda arguments, answer: answer([Case(NAVIGATION_RESPONSE_POLICY_TAG, ALLOW)]))
        controller = self.make_web_view()

        html = ("<title>Loaded</title><script>"
                "window.webkit.messageHandlers.bridge.postMessage({ready: [1, 'two', null]});"
                "</script>")
        self.assertIsNone(side.call("NSViewWKWebView.loadHtmlString", Ref(WEB_VIEW), html,
                                    "https://page.test/"))
        question = side.wait_for_call("WKNavigationDelegate.decidePolicyForNavigationAction")
        self.assertEqual(question[:2], [Ref(NAVIGATION_DELEGATE), Ref(WEB_VIEW)])
        self.assertIsInstance(question[2], Ref)
        # Nothing moves while the Dart side thinks, and the host keeps serving in the meantime.
        side.call("NSViewWKWebView.getUrl", Ref(WEB_VIEW))
        self.assertEqual(side.calls_to("WKNavigationDelegate.didStartProvisionalNavigation"), [])
        self.assertEqual(len(held), 1)
        held[0]([Case(NAVIGATION_ACTION_POLICY_TAG, ALLOW)])

        finished = side.wait_for_call("WKNavigationDelegate.didFinishNavigation")
        self.assertEqual(finished, [Ref(NAVIGATION_DELEGATE), Ref(WEB_VIEW), "https://page.test/"])
        self.assertEqual(len(side.calls_to("WKNavigationDelegate.didStartProvisionalNavigation")),
                         1)
        self.assertEqual(side.call("NSViewWKWebView.getTitle", Ref(WEB_VIEW)), "Loaded")

        received = side.wait_for_call("WKScriptMessageHandler.didReceiveScriptMessage")
        self.assertEqual(received[:2], [Ref(MESSAGE_HANDLER), controller])
        announced = side.wait_for_call("WKScriptMessage.pigeon_newInstance")
        self.assertEqual(announced, [received[2].identifier, "bridge", {"ready": [1, "two", None]}])

        self.assertEqual(side.call("NSViewWKWebView.evaluateJavaScript", Ref(WEB_VIEW),
                                   "document.title + ' ' + (6 * 7)"), "Loaded 42")
        failed = decode(side.send_binary(
            PREFIX + "NSViewWKWebView.evaluateJavaScript",
            encode([Ref(WEB_VIEW), "missing.call()"]), TIMEOUT))
        self.assertEqual(len(failed), 3)
        self.assertEqual(failed[0], "HWVEvaluateJavaScriptError")


if __name__ == "__main__":
    unittest.main()
