#!/usr/bin/env python3
"""Starts the host with DART_SIDE_SOCKET set, calls what it offers as the application's Dart side
would, prints the answers, plays the clip the repository ships in a texture player (its
"initialized" event, a few of the frames the engine draws, its completion), then asks the host to
close its window (SIGTERM) and checks that it ended cleanly and removed its socket.

    python3 tools/dart_side/demo.py build/release/DesktopHost.app/Contents/MacOS/DesktopHost

Add a plug-in's calls to DEMOS as the plug-in lands.
"""

import hashlib
import os
import sys
import time
from dataclasses import dataclass
from typing import Any

sys.dont_write_bytecode = True

from dart_side import (HostProcess, MissingPluginException,  # noqa: E402
                       PlatformException, codec)


@dataclass(frozen=True)
class Demo:
    who: str  # what answers: the engine, a plug-in, or nobody
    channel: str
    method: str  # for a message channel: a label only
    arguments: Any = None
    message_channel: bool = False


DEMOS = [
    Demo("engine", "flutter/platform_views", "dispose", 42),
    Demo("engine", "flutter/platform_views", "create", {"id": 1, "viewType": "demo_view"}),
    Demo("engine", "flutter/platform_views", "resize", {"id": 1}),
    Demo("NowPlayingPlugin", "com.quillmark.now_playing.handler.methods", "setQueue", {"queue": []}),
    Demo("SessionConfigPlugin", "com.quillmark.session_config", "getConfiguration", []),
    Demo("ConnectivityMacosPlugin", "dev.velmora.desktop/connectivity", "check"),
    Demo("DeviceInfoMacosPlugin", "dev.velmora.desktop/device_info", "getDeviceInfo"),
    Demo("PackageInfoMacosPlugin", "dev.velmora.desktop/package_info", "getAll"),
    Demo("ScreenGeometryMacosPlugin", "dev.velmora.plugins/screen_geometry", "getAllDisplays"),
    Demo("DisplayWakeMacosPlugin", "display_wake_macos", "enabled"),
    Demo("LiteDbPlugin", "com.velmora.litedb", "getDatabasesPath"),
    Demo("WebRTCHostPlugin", "WebRTCHost.Method", "initialize", {"options": {}}),
    Demo("WebRTCHostPlugin", "WebRTCHost.Method", "getSources"),
    Demo("VideoPlayerPlugin",
         "dev.flutter.pigeon.movie_player_avfoundation.AVFoundationVideoPlayerApi.getAssetUrl",
         "getAssetUrl", ["videos/intro.mp4", None], message_channel=True),
    Demo("WebViewHostPlugin",
         "dev.flutter.pigeon.wkwebview_host.PigeonInternalInstanceManager.clear", "clear", None,
         message_channel=True),
    Demo("PlaylistAudioPlugin", "com.quillmark.playlist_audio.methods", "disposeAllPlayers", {}),
    Demo("WindowControlPlugin", "window_control", "isFocused"),
    Demo("nobody", "demo.absent/methods", "hello", {"from": "the demo"}),
    Demo("nobody", "demo.absent/messages", "message", ["a", 1], message_channel=True),
]


def format_value(value):
    if isinstance(value, (bytes, bytearray)) and len(value) > 16:
        return f"<{len(value)} bytes>"
    return repr(value)


def answer_of(side, demo):
    try:
        if demo.message_channel:
            reply = side.send_message(demo.channel, demo.arguments)
            return "no reply (no handler)" if reply is None else f"reply {format_value(reply)}"
        return f"success {format_value(side.invoke_method(demo.channel, demo.method, demo.arguments))}"
    except PlatformException as error:
        details = "" if error.details is None else f" {format_value(error.details)}"
        return f"error {error.code}: {error.message}{details}"
    except MissingPluginException:
        return "not implemented (no handler)"


CLIP = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                     "plugins", "movie_player_avfoundation", "tests", "media",
                                     "clip.mp4"))
VIDEO_API = "dev.flutter.pigeon.movie_player_avfoundation.AVFoundationVideoPlayerApi."
VIDEO_INSTANCE = "dev.flutter.pigeon.movie_player_avfoundation.VideoPlayerInstanceApi."
VIDEO_EVENTS = "com.velmora.host/videoPlayer/videoEvents"
# The video player's codec types of CreationOptions and TexturePlayerIds.
CREATION_OPTIONS, TEXTURE_PLAYER_IDS = 130, 131
FRAMES_SHOWN = 4
CLIP_TIMEOUT = 10.0


def next_video_event(events, names, deadline):
    """The next event named in `names`; an error event raises, others are skipped."""
    while True:
        event = events.next(max(0.0, deadline - time.monotonic()))
        if event.kind == "error":
            raise PlatformException(event.error.code, event.error.message, event.error.details)
        if event.kind == "value" and event.value.get("event") in names:
            return event.value


def frame_checksum(frame):
    """SHA-256 of a drawn frame's pixels, row padding left out (as tools/media_frames prints)."""
    row, stride, data = frame["width"] * 4, frame["bytesPerRow"], frame["bytes"]
    return hashlib.sha256(b"".join(data[y * stride:y * stride + row]
                                   for y in range(frame["height"]))).hexdigest()


def play_clip(side):
    """Plays the shipped clip in a texture player and prints what the Dart side sees of it."""
    print(f"[VideoPlayerPlugin] a texture player on {os.path.relpath(CLIP)}")
    options = bytes([codec.LIST, 1, CREATION_OPTIONS]) + codec.encode_value(["file://" + CLIP, {}])
    reply = side.send_binary(VIDEO_API + "createForTextureView", options)
    if reply[:3] != bytes([codec.LIST, 1, TEXTURE_PLAYER_IDS]):
        print(f"    -> {format_value(codec.decode_value(reply))}")
        return
    player_id, texture_id = codec.decode_value(reply[3:])
    events = side.listen(f"{VIDEO_EVENTS}{player_id}")
    side.send_message(f"{VIDEO_INSTANCE}play.{player_id}", [])
    deadline = time.monotonic() + CLIP_TIMEOUT
    try:
        initialized = next_video_event(events, {"initialized"}, deadline)
        print(f"    -> initialized: {initialized['duration']} ms, "
              f"{initialized['width']:g}x{initialized['height']:g}")
        shown = []
        while len(shown) < FRAMES_SHOWN and time.monotonic() < deadline:
            frame = side.invoke_method("flutter/textures", "copyFrame", texture_id)
            if frame is not None and (not shown or shown[-1] != frame_checksum(frame)):
                shown.append(frame_checksum(frame))
                print(f"    -> texture frame {frame['width']}x{frame['height']}: "
                      f"sha256 {shown[-1][:16]}")
        next_video_event(events, {"completed"}, deadline)
        print("    -> completed")
    except PlatformException as error:
        print(f"    -> error {error.code}: {error.message}")
    except TimeoutError:
        print(f"    -> nothing more within {CLIP_TIMEOUT:g} s")
    finally:
        side.send_message(f"{VIDEO_INSTANCE}dispose.{player_id}", [])


def main(arguments):
    if len(arguments) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    with HostProcess(arguments[0]) as host:
        print(f"The host serves its Dart side on {host.socket_path}\n")
        with host.connect() as side:
            for demo in DEMOS:
                call = demo.channel if demo.message_channel else f"{demo.channel} {demo.method}"
                print(f"[{demo.who}] {call}({format_value(demo.arguments)})")
                print(f"    -> {answer_of(side, demo)}")
            play_clip(side)
        print("\nAsking the host to close its window (SIGTERM)...")
        status = host.terminate()
        socket_left = os.path.exists(host.socket_path)
        print("\nThe host's log:")
        for line in host.log_lines():
            print(f"    {line}")
    if status != 0 or socket_left:
        print(f"\nThe host exited with status {status}"
              f"{' and left its socket behind' if socket_left else ''}.", file=sys.stderr)
        return 1
    print("\nThe host closed its window, exited with status 0 and removed its socket.")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
