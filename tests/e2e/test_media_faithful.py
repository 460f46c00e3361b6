"""What a media file makes the running host do, driven as the application's Dart side drives it:
pictures keep the colours their stream declares, as FFmpeg's own conversion (the ffmpeg tool's)
gives them, for BT.601, BT.709 and BT.2020, limited and full range, 8 and 10 bits; files that name
other resources (a DASH manifest, a session description, a concatenation list) fail to load
without the host reaching what they name; a clip plays from its start to its end. The media
corpus's companion, kept apart so that each stays within its time budget."""

import os
import shutil
import socket
import subprocess
import tempfile
import time
import unittest

from e2e_support import TIMEOUT, next_named, start_host
from test_media_corpus import MAKING_WITHIN, SHOWN_WITHIN, ffmpeg
from test_real_media import AUDIO, EVENTS, call, texture_player
from test_texture_frames import TEXTURES


def completed_at(events):
    """The position of an audio player's first completion after its next loading state: where
    the item a load made completed."""
    loading = False
    while True:
        event = events.next(TIMEOUT)
        if event.kind != "value":
            continue
        state = event.value["processingState"]
        loading = loading or state == 1
        if loading and state == 4:
            return event.value["updatePosition"]


class MediaFaithfulnessTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="media_faithful_")
        # One picture of colour bars per matrix, range and depth, tagged as encoded.
        cls.bars = [cls.make(f"bars_{matrix}_{range_}_{pixels}.mkv", "-f", "lavfi",
                             "-i", "smptehdbars=size=192x108", "-frames:v", "1", "-c:v", "libx264",
                             "-pix_fmt", pixels, "-colorspace", matrix, "-color_range", range_)
                    for matrix in ("bt470bg", "bt709", "bt2020nc")
                    for range_ in ("tv", "pc")
                    for pixels in ("yuv420p", "yuv420p10le")]
        cls.twenty_seconds = cls.make("twenty_seconds.mp3", "-f", "lavfi", "-i",
                                      "sine=duration=20")
        cls.host = start_host("DESKTOP_HOST")

    @classmethod
    def tearDownClass(cls):
        cls.host.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    @classmethod
    def make(cls, name, *arguments):
        path = os.path.join(cls.folder, name)
        ffmpeg(*arguments, path)
        return path

    def test_pictures_keep_the_colours_their_stream_declares(self):
        """Each picture is FFmpeg's own decode and conversion to BGRA (the ffmpeg tool's), within
        rounding: BT.601, BT.709 and BT.2020, limited and full range, 8 and 10 bits."""
        with self.host.connect() as side:
            for path in self.bars:
                converted = subprocess.run(
                    ["ffmpeg", "-nostdin", "-loglevel", "error", "-i", path, "-frames:v", "1",
                     "-f", "rawvideo", "-pix_fmt", "bgra", "-"],
                    check=True, capture_output=True, timeout=MAKING_WITHIN).stdout
                player_id, texture_id = texture_player(side, "file://" + path)
                next_named(side.listen(f"{EVENTS}{player_id}"), "initialized", TIMEOUT)
                deadline, frame = time.monotonic() + SHOWN_WITHIN, None
                while frame is None and time.monotonic() < deadline:
                    frame = side.invoke_method(TEXTURES, "copyFrame", texture_id)
                self.assertIsNotNone(frame, path)
                row, stride, data = frame["width"] * 4, frame["bytesPerRow"], frame["bytes"]
                shown = b"".join(data[y * stride:y * stride + row] for y in range(frame["height"]))
                self.assertEqual(len(shown), len(converted), path)
                errors = [abs(a - b) for a, b in zip(shown, converted)]
                self.assertLessEqual(sum(errors) / len(errors), 0.5, path)
                self.assertLessEqual(max(errors), 4, path)
                self.assertEqual(call(side, "dispose", player_id), [None])

    def test_files_naming_other_resources_fail_without_reaching_them(self):
        """A manifest (of a server that never answers, or of a local file), a session
        description or a concatenation list (of an absolute or a relative name) under a media
        file's name fails to load; the host connects, binds and opens nothing it names, and
        players opened while they are held, in both plug-ins, load as ever."""
        server = socket.socket()
        server.bind(("127.0.0.1", 0))
        server.listen(8)
        server.setblocking(False)
        port = server.getsockname()[1]
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        probe.bind(("127.0.0.1", 0))
        rtp_port = probe.getsockname()[1] & ~1
        probe.close()
        def manifest(base_url):
            return ('<?xml version="1.0"?><MPD xmlns="urn:mpeg:dash:schema:mpd:2011" '
                    'profiles="urn:mpeg:dash:profile:isoff-on-demand:2011" type="static" '
                    'mediaPresentationDuration="PT1S" minBufferTime="PT1S"><Period>'
                    '<AdaptationSet mimeType="video/mp4"><Representation id="v" '
                    f'bandwidth="64000"><BaseURL>{base_url}</BaseURL>'
                    '</Representation></AdaptationSet></Period></MPD>\n')
        # Four manifests whose server never answers, each in players of its own, held open.
        texts = {f"manifest{i}.mp4": manifest(f"http://127.0.0.1:{port}/v{i}.mp4")
                 for i in range(4)}
        texts.update({
            "local_manifest.mp4": manifest(self.bars[0]),
            "session.mp4": "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\n"
                           f"m=video {rtp_port} RTP/AVP 96\na=rtpmap:96 H264/90000\n",
            "list.mp4": f"ffconcat version 1.0\nfile {self.bars[0]}\n",
            "relative_list.mp4": "ffconcat version 1.0\nfile "
                                 f"{os.path.relpath(self.bars[0])}\n",
        })
        try:
            with self.host.connect() as side:
                held = []
                for name, text in texts.items():
                    path = os.path.join(self.folder, name)
                    with open(path, "w") as out:
                        out.write(text)
                    for _ in range(2):
                        player_id, _ = texture_player(side, "file://" + path)
                        held.append(player_id)
                        events = side.listen(f"{EVENTS}{player_id}")
                        event = events.next(TIMEOUT)
                        while event.kind == "value":
                            event = events.next(TIMEOUT)
                        self.assertEqual(event.kind, "error", name)
                        self.assertEqual(event.error.code, "VideoError", name)
                with self.assertRaises(BlockingIOError):
                    server.accept()
                udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                udp.bind(("127.0.0.1", rtp_port))  # never bound by the host
                udp.close()
                player_id, _ = texture_player(side, "file://" + self.bars[0])
                next_named(side.listen(f"{EVENTS}{player_id}"), "initialized", TIMEOUT)
                self.assertEqual(call(side, "dispose", player_id), [None])
                side.invoke_method(AUDIO, "init", {"id": "after-openers"})
                try:
                    loaded = side.invoke_method(f"{AUDIO}.after-openers", "load", {
                        "audioSource": {"type": "progressive", "id": "song",
                                        "uri": "file://" + self.twenty_seconds, "headers": None},
                        "initialPosition": None, "initialIndex": None})
                    self.assertGreater(loaded["duration"], 19_000_000)
                finally:
                    side.invoke_method(AUDIO, "disposePlayer", {"id": "after-openers"})
                for player_id in held:
                    self.assertEqual(call(side, "dispose", player_id), [None])
        finally:
            server.close()

    def test_a_clip_plays_from_its_start_to_its_end(self):
        """A clip of a 20 s file plays from its start to its end; an end past the file's plays
        to the file's end, and an end at or before the start leaves nothing to play."""
        with self.host.connect() as side:
            side.invoke_method(AUDIO, "init", {"id": "clip"})
            try:
                clip = f"{AUDIO}.clip"
                events = side.listen("com.quillmark.playlist_audio.events.clip")
                for start, end, duration in [(2_000_000, 3_000_000, 1_000_000),
                                             (19_000_000, 30_000_000, 1_000_000),
                                             (3_000_000, 2_000_000, 0),
                                             (3_000_000, 3_000_000, 0)]:
                    loaded = side.invoke_method(clip, "load", {
                        "audioSource": {"type": "clipping", "id": "c", "start": start,
                                        "end": end,
                                        "child": {"type": "progressive", "id": "song",
                                                  "headers": None,
                                                  "uri": "file://" + self.twenty_seconds}},
                        "initialPosition": None, "initialIndex": None})
                    # An mp3 holds a little more than it was made of.
                    self.assertAlmostEqual(loaded["duration"], duration, delta=50_000)
                    # "play" answers once playing stops: here, at the clip's end, where it
                    # completed (not at the file's end, 18 s on).
                    self.assertEqual(side.invoke_method(clip, "play", {}), {})
                    self.assertAlmostEqual(completed_at(events), duration, delta=50_000)
                    self.assertEqual(side.invoke_method(clip, "pause", {}), {})
            finally:
                side.invoke_method(AUDIO, "disposePlayer", {"id": "clip"})


if __name__ == "__main__":
    unittest.main()
