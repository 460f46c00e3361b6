// Keys of a media item's properties that the now-playing information also uses.
#pragma once

inline constexpr const char* MPMediaItemPropertyTitle = "MPMediaItemPropertyTitle";
inline constexpr const char* MPMediaItemPropertyAlbumTitle = "MPMediaItemPropertyAlbumTitle";
inline constexpr const char* MPMediaItemPropertyArtist = "MPMediaItemPropertyArtist";
// Seconds, as a double.
inline constexpr const char* MPMediaItemPropertyPlaybackDuration =
    "MPMediaItemPropertyPlaybackDuration";
// An MPMediaItemArtwork.
inline constexpr const char* MPMediaItemPropertyArtwork = "MPMediaItemPropertyArtwork";
