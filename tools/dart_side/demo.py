#!/usr/bin/env python3
"""Starts the host with DART_SIDE_SOCKET set, calls what it offers as the application's Dart side
would, prints the answers, then asks the host to close its window (SIGTERM) and checks that it
ended cleanly and removed its socket.

    python3 tools/dart_side/demo.py build/release/DesktopHost.app/Contents/MacOS/DesktopHost

Add a plug-in's calls to DEMOS as the plug-in lands.
"""

import os
import sys
from dataclasses import dataclass
from typing import Any

sys.dont_write_bytecode = True

from dart_side import (HostProcess, MissingPluginException,  # noqa: E402
                       PlatformException)


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
