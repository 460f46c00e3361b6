"""A texture player's frames as the engine draws them, read over the socket through the engine's
"flutter/textures" channel, against FFmpeg's own decoding of the same file (tools/media_frames)."""

import hashlib
import subprocess
import time
import unittest

from dart_side import PlatformException
from e2e_support import TIMEOUT, executable, start_host
from test_real_media import CLIP, CLIP_DURATION_MS, EVENTS, call, next_named, texture_player

TEXTURES = "flutter/textures"
BGRA = 0x42475241
SPEED = 0.25


def reference_frames(path):
    """[(seconds, width, height, sha256 of the tight BGRA bytes)] as FFmpeg decodes `path`."""
    output = subprocess.run([executable("MEDIA_FRAMES"), path], check=True, capture_output=True,
                            text=True, timeout=TIMEOUT).stdout
    frames = []
    for line in output.splitlines():
        seconds, width, height, digest = line.split()
        frames.append((float(seconds), int(width), int(height), digest))
    return frames


def tight_digest(frame):
    """The sha256 of a copied frame's pixels, row padding left out."""
    row = frame["width"] * 4
    stride, data = frame["bytesPerRow"], frame["bytes"]
    tight = b"".join(data[y * stride:y * stride + row] for y in range(frame["height"]))
    return hashlib.sha256(tight).hexdigest()


def arrived(stream):
    """The names of the events that have already arrived; fails on an error event."""
    names = set()
    while True:
        try:
            event = stream.next(0)
        except TimeoutError:
            return names
        if event.kind == "error":
            raise AssertionError(f"error event: {event.error.code} {event.error.message}")
        if event.kind == "value":
            names.add(event.value.get("event"))


class TextureFramesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.reference = reference_frames(CLIP)
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def test_a_playing_texture_shows_ffmpegs_own_frames_in_order(self):
        order = {digest: index for index, (*_, digest) in enumerate(self.reference)}
        self.assertEqual(len(order), len(self.reference), "the clip's frames must differ")
        with self.host.connect() as side:
            player_id, texture_id = texture_player(side, "file://" + CLIP)
            events = side.listen(f"{EVENTS}{player_id}")
            # Slowed down, so that a loaded machine still draws several of its frames.
            self.assertEqual(call(side, "setPlaybackSpeed", player_id, SPEED), [None])
            self.assertEqual(call(side, "play", player_id), [None])
            seen, shown = set(), []
            deadline = time.monotonic() + CLIP_DURATION_MS / 1000 / SPEED + TIMEOUT
            # Drawn from the start, as the engine draws a texture on screen, until the end.
            while "completed" not in seen:
                self.assertLess(time.monotonic(), deadline, "the player never completed")
                seen |= arrived(events)
                frame = side.invoke_method(TEXTURES, "copyFrame", texture_id)
                if frame is None:
                    continue
                self.assertEqual((frame["width"], frame["height"]), (160, 120))
                self.assertEqual(frame["pixelFormat"], BGRA)
                self.assertEqual(len(frame["bytes"]), frame["bytesPerRow"] * frame["height"])
                digest = tight_digest(frame)
                self.assertIn(digest, order, f"frame {len(shown)} is not one FFmpeg decodes")
                if not shown or shown[-1] != order[digest]:
                    shown.append(order[digest])
            self.assertIn("initialized", seen)
            self.assertEqual(shown, sorted(set(shown)), "frames shown out of order")
            self.assertGreaterEqual(len(shown), 3)
            # Drawn as often as it was read, the texture still paced itself.
            self.assertEqual(self.host.count_log_lines("unexpectedly short"), 0)
            self.assertEqual(call(side, "dispose", player_id), [None])
            # The texture went with its player.
            with self.assertRaises(PlatformException) as raised:
                side.invoke_method(TEXTURES, "copyFrame", texture_id)
            self.assertEqual(raised.exception.code, "unknown_texture")

    def await_shown(self, side, texture_id, index):
        """Draws the texture until it shows the reference frame `index`; fails at the time limit."""
        order = {digest: i for i, (*_, digest) in enumerate(self.reference)}
        deadline, shown = time.monotonic() + TIMEOUT, None
        while time.monotonic() < deadline:
            frame = side.invoke_method(TEXTURES, "copyFrame", texture_id)
            shown = None if frame is None else order.get(tight_digest(frame), "unknown")
            if shown == index:
                return
        self.fail(f"showed frame {shown}, never frame {index}")

    def test_a_paused_texture_that_seeks_shows_the_frame_at_the_new_position(self):
        with self.host.connect() as side:
            player_id, texture_id = texture_player(side, "file://" + CLIP)
            events = side.listen(f"{EVENTS}{player_id}")
            next_named(events, "initialized", TIMEOUT)
            self.await_shown(side, texture_id, 0)
            # Shown while paused, the texture asks for no more draws: these use up those it
            # asked for while awaiting the first frame.
            for _ in range(10):
                self.assertEqual(tight_digest(side.invoke_method(TEXTURES, "copyFrame", texture_id)),
                                 self.reference[0][3])
            # Between two frames' times, so that the earlier one is the frame at that position.
            index = len(self.reference) // 2
            between = (self.reference[index][0] + self.reference[index + 1][0]) / 2
            self.assertEqual(call(side, "seekTo", player_id, round(between * 1000)), [None])
            self.await_shown(side, texture_id, index)
            self.assertEqual(call(side, "dispose", player_id), [None])


if __name__ == "__main__":
    unittest.main()
