"""Screen capture in the running host: a display media track shows the model screen without any
test control driving it, both in a texture renderer and in a captured frame, and stops with its
track."""

import os
import shutil
import struct
import tempfile
import unittest

from e2e_support import TIMEOUT, next_named, start_host

METHODS = "WebRTCHost.Method"
# The display the host's screen capture offers.
SCREEN_SIZE = (1920, 1080)


def png_size(path):
    with open(path, "rb") as image:
        header = image.read(24)
    if len(header) < 24 or header[1:4] != b"PNG":
        raise AssertionError(f"not a PNG: {header!r}")
    return struct.unpack(">II", header[16:24])


class ScreenCaptureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="screen-capture-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def call(self, side, method, arguments=None):
        return side.invoke_method(METHODS, method, arguments or {}, TIMEOUT)

    def test_display_media_shows_the_screen_in_a_renderer_and_a_captured_frame(self):
        with self.host.connect() as side:
            self.call(side, "initialize", {"options": {}})
            media = self.call(side, "getDisplayMedia", {"constraints": {"video": True}})
            stream_id = media["streamId"]
            track_id = media["videoTracks"][0]["id"]

            texture_id = self.call(side, "createVideoRenderer")["textureId"]
            events = side.listen(f"WebRTCHost/Texture{texture_id}")
            self.call(side, "videoRendererSetSrcObject",
                      {"textureId": texture_id, "streamId": stream_id, "ownerTag": "local",
                       "trackId": track_id})
            size = next_named(events, "didTextureChangeVideoSize", TIMEOUT)
            self.assertEqual((size["width"], size["height"]), SCREEN_SIZE)
            next_named(events, "didFirstFrameRendered", TIMEOUT)

            path = os.path.join(self.folder, "screen.png")
            self.call(side, "captureFrame", {"trackId": track_id, "path": path})
            self.assertGreater(os.path.getsize(path), 0)
            self.assertEqual(png_size(path), SCREEN_SIZE)

            self.call(side, "videoRendererDispose", {"textureId": texture_id})
            self.call(side, "streamDispose", {"streamId": stream_id})


if __name__ == "__main__":
    unittest.main()
