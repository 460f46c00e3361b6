"""Real media through the running host: a video player on a real H.264 file and an audio player's
load of the same file, driven over the socket as the application's Dart side drives them."""

import os
import unittest

from dart_side import codec
from e2e_support import TIMEOUT, next_named, start_host

CLIP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "plugins",
                                    "movie_player_avfoundation", "tests", "media", "clip.mp4"))
CLIP_DURATION_MS = 1000
CLIP_SIZE = (160.0, 120.0)

API = "dev.flutter.pigeon.movie_player_avfoundation.AVFoundationVideoPlayerApi."
INSTANCE = "dev.flutter.pigeon.movie_player_avfoundation.VideoPlayerInstanceApi."
EVENTS = "com.velmora.host/videoPlayer/videoEvents"
AUDIO = "com.quillmark.playlist_audio.methods"

# The video player's codec types: CreationOptions and TexturePlayerIds; the per-player codec's
# native track data.
CREATION_OPTIONS = 130
TEXTURE_PLAYER_IDS = 131
NATIVE_VIDEO_TRACK_DATA = 132


def creation_options(uri):
    """[CreationOptions(uri, no headers)] as the video player's codec writes it."""
    return (bytes([codec.LIST, 1, CREATION_OPTIONS]) + codec.encode_value([uri, {}]))


def texture_player(side, uri):
    """(player id, texture id) of a new texture player on `uri`."""
    reply = side.send_binary(API + "createForTextureView", creation_options(uri), TIMEOUT)
    if reply[:3] != bytes([codec.LIST, 1, TEXTURE_PLAYER_IDS]):
        raise AssertionError(f"not a TexturePlayerIds reply: {codec.decode_value(reply)}")
    player_id, texture_id = codec.decode_value(reply[3:])
    return player_id, texture_id


def call(side, operation, player_id, *arguments):
    return side.send_message(f"{INSTANCE}{operation}.{player_id}", list(arguments), TIMEOUT)


class RealMediaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def test_a_texture_player_on_a_real_file_initializes_plays_and_completes(self):
        with self.host.connect() as side:
            player_id, _ = texture_player(side, "file://" + CLIP)
            events = side.listen(f"{EVENTS}{player_id}")
            self.assertEqual(call(side, "play", player_id), [None])
            initialized = next_named(events, "initialized", TIMEOUT)
            self.assertEqual(initialized["duration"], CLIP_DURATION_MS)
            self.assertEqual((initialized["width"], initialized["height"]), CLIP_SIZE)
            next_named(events, "completed", CLIP_DURATION_MS / 1000 + TIMEOUT)
            self.assertEqual(call(side, "getPosition", player_id), [CLIP_DURATION_MS])
            self.assertEqual(call(side, "dispose", player_id), [None])

    def test_a_missing_file_sends_the_error_event(self):
        with self.host.connect() as side:
            player_id, _ = texture_player(side, "file:///nonexistent/clip.mp4")
            events = side.listen(f"{EVENTS}{player_id}")
            event = events.next(TIMEOUT)
            while event.kind == "value":
                event = events.next(TIMEOUT)
            self.assertEqual(event.kind, "error")
            self.assertEqual(event.error.code, "VideoError")
            self.assertTrue(event.error.message.startswith("Failed to load video"))
            # Every call is still answered, the track list included.
            tracks = side.send_binary(f"{INSTANCE}getVideoTracks.{player_id}",
                                      codec.encode_value([]), TIMEOUT)
            self.assertEqual(tracks[:3], bytes([codec.LIST, 1, NATIVE_VIDEO_TRACK_DATA]))
            self.assertEqual(call(side, "dispose", player_id), [None])

    def test_an_audio_players_load_answers_the_real_duration(self):
        with self.host.connect() as side:
            side.invoke_method(AUDIO, "init", {"id": "real-media"})
            try:
                loaded = side.invoke_method(f"{AUDIO}.real-media", "load", {
                    "audioSource": {"type": "progressive", "id": "clip",
                                    "uri": "file://" + CLIP, "headers": None},
                    "initialPosition": None, "initialIndex": None})
                self.assertEqual(loaded["duration"], CLIP_DURATION_MS * 1000)
            finally:
                side.invoke_method(AUDIO, "disposePlayer", {"id": "real-media"})


if __name__ == "__main__":
    unittest.main()
