// Notifications an item posts through the default centre, with the item as the object.
#pragma once

inline constexpr const char* AVPlayerItemDidPlayToEndTimeNotification =
    "AVPlayerItemDidPlayToEndTimeNotification";
// userInfo[AVPlayerItemFailedToPlayToEndTimeErrorKey] holds the NSError.
inline constexpr const char* AVPlayerItemFailedToPlayToEndTimeNotification =
    "AVPlayerItemFailedToPlayToEndTimeNotification";
inline constexpr const char* AVPlayerItemFailedToPlayToEndTimeErrorKey =
    "AVPlayerItemFailedToPlayToEndTimeErrorKey";
inline constexpr const char* AVPlayerItemPlaybackStalledNotification =
    "AVPlayerItemPlaybackStalledNotification";
inline constexpr const char* AVPlayerItemTimeJumpedNotification =
    "AVPlayerItemTimeJumpedNotification";
