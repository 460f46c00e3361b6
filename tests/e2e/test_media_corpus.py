"""Media files as people make them with the ffmpeg tool, played in the running host as the Dart
side plays them: each is opened, sought while paused and while playing (back and forth, and at the
edges of its pictures), paused, played to its end where that is quick, and disposed, and every
picture the texture shows is compared with the one the media_frames tool decodes for the same
time. The containers are those FFmpeg seeks in different ways: by an index, by searching
timestamps (transport and program streams, one whose clock wraps), or not at all."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from dart_side import codec
from e2e_support import TIMEOUT, next_named, start_host
from test_real_media import API, EVENTS, AUDIO, call, texture_player
from test_texture_frames import TEXTURES, reference_frames, tight_digest

INDEFINITE_MS = -9223372036854775807
# Generous: the host runs under the sanitizers on a loaded machine.
SHOWN_WITHIN = 15.0


# Making the corpus is the ffmpeg tool's work, not the host's: a loaded machine may take minutes
# over the largest pictures, and this bound only keeps a stuck tool from hanging the suite.
MAKING_WITHIN = 300.0


def ffmpeg(*arguments):
    subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", *arguments],
                   check=True, timeout=MAKING_WITHIN)


class Media:
    """A file and FFmpeg's own frames of it."""

    def __init__(self, path):
        self.path = path
        self.frames = reference_frames(path)
        self.order = {digest: index for index, (*_, digest) in enumerate(self.frames)}

    def index_at(self, seconds):
        """The index of the frame to show at `seconds`: the last one at or before it."""
        index = None
        for i, (frame_time, *_) in enumerate(self.frames):
            if frame_time <= seconds + 1e-6:
                index = i
        return index

    def shown_at(self, seconds):
        """The index of the picture a player shows at `seconds`: before the first, the first."""
        index = self.index_at(seconds)
        return 0 if index is None else index


def host_cpu_seconds(host):
    """The CPU time the host process has used, all its threads."""
    with open(f"/proc/{host.process.pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class MediaCorpusTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="media_corpus_")
        make = cls.make
        source = ["-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=10"]
        h264 = ["-c:v", "libx264", "-pix_fmt", "yuv420p"]
        cls.one_key_frame = make("one_key_frame.mp4", *source, *h264, "-g", "250", "-bf", "0")
        cls.b_frames = make("b_frames.mkv", *source, *h264, "-g", "250", "-bf", "3")
        cls.raw = make("raw.h264", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25",
                       "-frames:v", "50", *h264, "-f", "h264")
        cls.shared = make("shared_timestamps.mkv", "-i", cls.raw, "-c:v", "copy",
                          "-bsf:v", "setts=pts=0:dts=0")
        cls.lengths = make("short_video_long_audio.mp4",
                           "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
                           "-f", "lavfi", "-i", "sine=duration=3.5", *h264, "-c:a", "aac")
        cls.huge = make("huge.mkv", "-f", "lavfi", "-i", "color=size=8000x8000:rate=2",
                        "-frames:v", "3", "-c:v", "png")
        cls.late = make("late_video.mkv", "-f", "lavfi", "-i", "sine=duration=2",
                        "-itsoffset", "0.5", "-f", "lavfi",
                        "-i", "testsrc=size=160x120:rate=10:duration=1.5", *h264,
                        "-c:a", "pcm_s16le")
        cls.vfr = make("variable_rate.mkv", "-f", "lavfi", "-i",
                       "testsrc=size=160x120:rate=25:duration=3", "-vf",
                       "setpts='if(lt(N,25),N/25,1+(N-25)/5)/TB'", "-fps_mode", "vfr", *h264)
        # Audio whose channel layout and rate change mid-stream: parts joined byte for byte.
        parts = [make(f"part{i}.mp3", "-f", "lavfi", "-i", "sine=duration=0.5", "-ac", channels,
                      "-ar", rate) for i, (channels, rate) in
                 enumerate([("2", "44100"), ("1", "44100"), ("1", "22050")])]
        cls.changing = os.path.join(cls.folder, "changing.mp3")
        with open(cls.changing, "wb") as joined:
            for part in parts:
                with open(part, "rb") as each:
                    joined.write(each.read())
        # A damaged packet: the fourth picture's signature broken.
        pictures = make("pictures.mkv", "-f", "lavfi", "-i", "testsrc=size=64x64:rate=10",
                        "-frames:v", "20", "-c:v", "png")
        with open(pictures, "rb") as intact:
            data = bytearray(intact.read())
        at = -1
        for _ in range(4):
            at = data.index(b"\x89PNG\r\n\x1a\n", at + 1)
        data[at + 1] = ord("X")
        cls.damaged = os.path.join(cls.folder, "damaged.mkv")
        with open(cls.damaged, "wb") as out:
            out.write(data)
        # Cut in the middle, as an interrupted download leaves it.
        whole = make("whole.mkv", *source[:3], "testsrc=size=160x120:rate=25:duration=4", *h264)
        cls.truncated = os.path.join(cls.folder, "truncated.mkv")
        with open(whole, "rb") as intact, open(cls.truncated, "wb") as out:
            out.write(intact.read()[: os.path.getsize(whole) // 2])
        cls.replacement = make("replacement.mkv", "-f", "lavfi", "-i",
                               "testsrc2=size=320x240:rate=25:duration=10", *h264)
        # Four seconds of pictures and sound in the containers FFmpeg seeks in different ways.
        both = ["-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=4",
                "-f", "lavfi", "-i", "sine=duration=4"]
        cls.containers = [
            make("one_key_frame.ts", *both, *h264, "-g", "250", "-c:a", "aac", "-f", "mpegts"),
            make("wrapping_clock.ts", *both, *h264, "-g", "50", "-c:a", "aac",
                 "-output_ts_offset", "95443", "-f", "mpegts"),
            make("program.mpg", *both, "-c:v", "mpeg2video", "-g", "12", "-bf", "2",
                 "-c:a", "mp2", "-f", "mpeg"),
            make("pictures.avi", *both, "-c:v", "mjpeg", "-c:a", "pcm_s16le"),
            make("theora.ogv", *both, "-c:v", "libtheora", "-g", "30", "-c:a", "libvorbis"),
            make("flash.flv", *both, *h264, "-g", "50", "-c:a", "aac"),
        ]
        cls.thousand = make("thousand_fps.mkv", "-f", "lavfi",
                            "-i", "testsrc=size=160x120:rate=1000:duration=1", *h264)
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

    # The player's side.

    def open(self, side, media):
        player_id, texture_id = texture_player(side, "file://" + media.path)
        events = side.listen(f"{EVENTS}{player_id}")
        initialized = next_named(events, "initialized", TIMEOUT)
        return player_id, texture_id, events, initialized

    def shown(self, side, texture_id):
        frame = side.invoke_method(TEXTURES, "copyFrame", texture_id)
        return None if frame is None else tight_digest(frame)

    def await_shown(self, side, texture_id, media, indices):
        """Draws until the texture shows one of the reference frames `indices`."""
        wanted = {media.frames[i][3] for i in indices if i is not None and 0 <= i < len(media.frames)}
        deadline, digest = time.monotonic() + SHOWN_WITHIN, None
        while time.monotonic() < deadline:
            digest = self.shown(side, texture_id)
            if digest in wanted:
                return
        self.fail(f"{os.path.basename(media.path)} showed frame {media.order.get(digest)}, "
                  f"not one of {sorted(i for i in indices if i is not None)}")

    def seek(self, side, player_id, seconds):
        self.assertEqual(call(side, "seekTo", player_id, round(seconds * 1000)), [None])

    def watch(self, side, texture_id, media, seconds, in_order=True):
        """Draws for `seconds` while playing: every picture is FFmpeg's, in order."""
        shown, deadline = [], time.monotonic() + seconds
        while time.monotonic() < deadline:
            digest = self.shown(side, texture_id)
            if digest is None:
                continue
            self.assertIn(digest, media.order, f"{media.path}: a picture FFmpeg does not decode")
            index = media.order[digest]
            if not shown or shown[-1] != index:
                shown.append(index)
        if in_order:
            self.assertEqual(shown, sorted(shown), f"{media.path}: pictures shown out of order")
        return shown

    def exercise(self, side, media, paused_at, playing_at, speed=1.0):
        """Seeks while paused, plays, seeks while playing, pauses and disposes; the pictures
        shown are FFmpeg's for the same time throughout."""
        player_id, texture_id, _, initialized = self.open(side, media)
        self.seek(side, player_id, paused_at)
        self.await_shown(side, texture_id, media, [media.index_at(paused_at)])
        self.assertEqual(call(side, "setPlaybackSpeed", player_id, speed), [None])
        self.assertEqual(call(side, "play", player_id), [None])
        self.watch(side, texture_id, media, 0.4)
        before = self.shown(side, texture_id)
        self.seek(side, player_id, playing_at)
        # The first new picture is the target's, or one shortly after it as playing goes on.
        target = media.index_at(playing_at) or 0
        deadline, digest = time.monotonic() + SHOWN_WITHIN, before
        while digest == before and time.monotonic() < deadline:
            digest = self.shown(side, texture_id)
        self.assertIn(media.order.get(digest), range(target, target + 50), media.path)
        self.watch(side, texture_id, media, 0.4)
        self.assertEqual(call(side, "pause", player_id), [None])
        stopped = call(side, "getPosition", player_id)[0] / 1000
        # Drawn at the last refresh before the pause, for the refresh after it.
        near = range(media.index_at(stopped - 0.1) or 0, (media.index_at(stopped + 0.05) or 0) + 1)
        self.await_shown(side, texture_id, media, near)
        self.seek(side, player_id, stopped)
        self.await_shown(side, texture_id, media, [media.index_at(stopped)])
        self.assertEqual(call(side, "dispose", player_id), [None])
        return initialized

    def sweep(self, side, media):
        """Paused seeks from past the last picture back to the start, then forward again: each
        shows FFmpeg's picture for its time (before the first picture, the first)."""
        player_id, texture_id, _, initialized = self.open(side, media)
        last, end = media.frames[-1][0], initialized["duration"] / 1000
        targets = [max(last, (last + end) / 2), last * 0.83, last * 0.61, last * 0.37,
                   last * 0.14, 0.0, last * 0.5, last * 0.9]
        for target in (round(each, 3) for each in targets):  # as sent, in milliseconds
            self.seek(side, player_id, target)
            self.await_shown(side, texture_id, media, [media.shown_at(target)])
        self.assertEqual(call(side, "dispose", player_id), [None])

    def play_to_end(self, side, media, speed):
        player_id, texture_id, events, initialized = self.open(side, media)
        self.assertEqual(call(side, "setPlaybackSpeed", player_id, speed), [None])
        self.assertEqual(call(side, "play", player_id), [None])
        next_named(events, "completed", TIMEOUT)
        position = call(side, "getPosition", player_id)[0]
        self.assertEqual(call(side, "dispose", player_id), [None])
        return initialized, position

    # The corpus.

    def test_far_seeks_b_frames_and_variable_rates_show_ffmpegs_pictures(self):
        with self.host.connect() as side:
            for path, paused_at, playing_at in [(self.one_key_frame, 5.02, 7.5),
                                                (self.b_frames, 6.3, 2.1),
                                                (self.vfr, 2.1, 1.45),
                                                (self.late, 0.65, 1.25),
                                                (self.damaged, 0.55, 1.1)]:
                self.exercise(side, Media(path), paused_at, playing_at)

    def test_every_container_seeks_back_and_forth_and_to_its_edges(self):
        with self.host.connect() as side:
            for path in self.containers + [self.late]:
                media = Media(path)
                self.sweep(side, media)
                self.exercise(side, media, media.frames[-1][0] * 0.7, media.frames[-1][0] * 0.2)
            self.sweep(side, Media(self.thousand))

    def test_a_completed_player_rests_at_its_end_until_sought_back(self):
        """The player neither pauses nor loops at the end by itself: it stays there, showing the
        last picture, while its rate stays; a seek back plays on, a pause rests."""
        media = Media(self.containers[0])
        with self.host.connect() as side:
            player_id, texture_id, events, initialized = self.open(side, media)
            end = initialized["duration"]
            self.assertEqual(call(side, "setPlaybackSpeed", player_id, 4.0), [None])
            self.assertEqual(call(side, "play", player_id), [None])
            next_named(events, "completed", TIMEOUT)
            self.await_shown(side, texture_id, media, [len(media.frames) - 1])
            # Played again at its end: nothing more to play, nothing more happens.
            self.assertEqual(call(side, "play", player_id), [None])
            self.assertEqual(events.next(TIMEOUT).value.get("event"), "isPlayingStateUpdate")
            self.assertEqual(self.events_within(events, 0.5), [])
            self.assertEqual(call(side, "getPosition", player_id), [end])
            self.seek(side, player_id, 3.0)
            next_named(events, "completed", TIMEOUT)
            self.assertEqual(call(side, "pause", player_id), [None])
            self.seek(side, player_id, 1.0)
            self.await_shown(side, texture_id, media, [media.shown_at(1.0)])
            time.sleep(0.3)
            self.assertEqual(call(side, "getPosition", player_id), [1000])
            self.assertEqual(call(side, "dispose", player_id), [None])

            # Looping, it starts again instead of completing.
            player_id, texture_id, events, _ = self.open(side, media)
            self.assertEqual(call(side, "setLooping", player_id, True), [None])
            self.assertEqual(call(side, "setPlaybackSpeed", player_id, 8.0), [None])
            self.assertEqual(call(side, "play", player_id), [None])
            self.assertTrue(self.starts_again(side, texture_id, media), "never started again")
            self.assertNotIn("completed", self.events_within(events, 0.1))
            self.assertEqual(call(side, "dispose", player_id), [None])

    def starts_again(self, side, texture_id, media):
        """Draws until the texture shows an earlier picture than the one before it."""
        deadline, last = time.monotonic() + TIMEOUT, None
        while time.monotonic() < deadline:
            digest = self.shown(side, texture_id)
            if digest is None:
                continue
            index = media.order[digest]
            if last is not None and index < last:
                return True
            last = index
        return False

    def events_within(self, events, seconds):
        """The names of the events that arrive within `seconds`."""
        names, deadline = [], time.monotonic() + seconds
        while True:
            try:
                event = events.next(max(0.0, deadline - time.monotonic()))
            except TimeoutError:
                return names
            names.append(event.value.get("event") if event.kind == "value" else event.kind)

    def test_streams_without_times_or_length_play_to_their_real_end(self):
        with self.host.connect() as side:
            raw = Media(self.raw)
            initialized = self.exercise(side, raw, 1.5, 0.3)
            self.assertEqual(initialized["duration"], INDEFINITE_MS)
            _, position = self.play_to_end(side, raw, 4.0)
            self.assertEqual(position, 2000)
            self.exercise(side, Media(self.shared), 0.0, 0.0)
            initialized, position = self.play_to_end(side, Media(self.lengths), 4.0)
            self.assertEqual((initialized["duration"], position), (3500, 3500))
            initialized = self.exercise(side, Media(self.truncated), 1.0, 0.5)
            self.assertEqual(initialized["duration"], 4000)

    def test_audio_that_changes_its_layout_plays_in_both_players(self):
        with self.host.connect() as side:
            player_id, texture_id = texture_player(side, "file://" + self.changing)
            events = side.listen(f"{EVENTS}{player_id}")
            initialized = next_named(events, "initialized", TIMEOUT)
            self.assertEqual((initialized["width"], initialized["height"]), (0.0, 0.0))
            self.assertEqual(call(side, "setPlaybackSpeed", player_id, 4.0), [None])
            self.assertEqual(call(side, "play", player_id), [None])
            next_named(events, "completed", TIMEOUT)
            self.assertEqual(call(side, "dispose", player_id), [None])

            side.invoke_method(AUDIO, "init", {"id": "changing"})
            try:
                audio_events = side.listen("com.quillmark.playlist_audio.events.changing")
                loaded = side.invoke_method(f"{AUDIO}.changing", "load", {
                    "audioSource": {"type": "progressive", "id": "changing",
                                    "uri": "file://" + self.changing, "headers": None},
                    "initialPosition": None, "initialIndex": None})
                self.assertGreater(loaded["duration"], 1_500_000)
                side.invoke_method(f"{AUDIO}.changing", "setSpeed", {"speed": 4.0})
                side.invoke_method(f"{AUDIO}.changing", "play", None, timeout=TIMEOUT)
                deadline = time.monotonic() + TIMEOUT
                while audio_events.next(max(0.0, deadline - time.monotonic())).value.get(
                        "processingState") != 4:
                    pass
            finally:
                side.invoke_method(AUDIO, "disposePlayer", {"id": "changing"})

    def test_a_slow_decode_never_holds_the_other_channels(self):
        with self.host.connect() as side:
            player_id, _, _, _ = self.open(side, Media(self.huge))
            self.assertEqual(call(side, "play", player_id), [None])
            self.assertEqual(call(side, "dispose", player_id), [None])
            # While the decode of a 64 megapixel picture (seconds of CPU) winds down, other calls
            # are answered at once: what the host does meanwhile is a round trip's worth, on a
            # busy machine as on an idle one, never what is left of the decode.
            for _ in range(5):
                before = host_cpu_seconds(self.host)
                side.send_message(API + "setMixWithOthers", [True], TIMEOUT)
                self.assertLess(host_cpu_seconds(self.host) - before, 0.25)

    def test_a_file_replaced_while_it_plays_goes_on_as_it_was_opened(self):
        playing = os.path.join(self.folder, "playing.mkv")
        shutil.copyfile(self.b_frames, playing)
        original = Media(playing)
        with self.host.connect() as side:
            player_id, texture_id, _, _ = self.open(side, original)
            self.seek(side, player_id, 1.0)
            self.await_shown(side, texture_id, original, [original.index_at(1.0)])
            self.assertEqual(call(side, "play", player_id), [None])
            os.replace(self.replacement, playing)
            self.watch(side, texture_id, original, 0.3)
            self.seek(side, player_id, 6.0)
            self.assertEqual(call(side, "pause", player_id), [None])
            self.seek(side, player_id, 4.0)
            self.await_shown(side, texture_id, original, [original.index_at(4.0)])
            self.assertEqual(call(side, "dispose", player_id), [None])


if __name__ == "__main__":
    unittest.main()
