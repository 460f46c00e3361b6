"""The real host's main window, driven through its socket: transitions end on their own."""

import queue
import unittest

from e2e_support import TIMEOUT, start_host

WINDOW = "window_control"
# The built-in screen: 1440 x 900, its visible frame below the menu bar and above the Dock,
# in the Dart side's top-left coordinates.
VISIBLE_TOP, VISIBLE_BOTTOM, SCREEN_WIDTH = 25.0, 820.0, 1440.0


class WindowTransitionsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def setUp(self):
        self.events = queue.Queue()
        self.side = self.host.connect()
        self.side.set_method_call_handler(WINDOW, self._on_call)
        self.assertTrue(self.side.invoke_method(WINDOW, "ensureInitialized"))

    def tearDown(self):
        self.side.close()

    def _on_call(self, method, arguments):
        if method == "onEvent":
            self.events.put(arguments["eventName"])
        return None

    def wait_for_event(self, name):
        seen = []
        while True:
            try:
                event = self.events.get(timeout=TIMEOUT)
            except queue.Empty:
                self.fail(f"no {name!r} event; saw {seen}")
            if event == name:
                return
            seen.append(event)

    def test_the_window_opens_inside_the_visible_frame_of_its_screen(self):
        bounds = self.side.invoke_method(WINDOW, "getBounds")
        self.assertGreaterEqual(bounds["y"], VISIBLE_TOP)
        self.assertLessEqual(bounds["y"] + bounds["height"], VISIBLE_BOTTOM)
        self.assertGreaterEqual(bounds["x"], 0.0)
        self.assertLessEqual(bounds["x"] + bounds["width"], SCREEN_WIDTH)

    def test_full_screen_and_zoom_take_effect_with_their_events(self):
        self.assertTrue(self.side.invoke_method(WINDOW, "setFullScreen", {"isFullScreen": True}))
        self.wait_for_event("enter-full-screen")
        self.assertTrue(self.side.invoke_method(WINDOW, "isFullScreen"))
        self.assertTrue(self.side.invoke_method(WINDOW, "setFullScreen", {"isFullScreen": False}))
        self.wait_for_event("leave-full-screen")
        self.assertFalse(self.side.invoke_method(WINDOW, "isFullScreen"))

        self.assertTrue(self.side.invoke_method(WINDOW, "maximize"))
        self.wait_for_event("maximize")
        self.assertTrue(self.side.invoke_method(WINDOW, "isMaximized"))
        self.assertTrue(self.side.invoke_method(WINDOW, "unmaximize"))
        self.wait_for_event("unmaximize")
        self.assertFalse(self.side.invoke_method(WINDOW, "isMaximized"))


if __name__ == "__main__":
    unittest.main()
