// Media files made at test time with the ffmpeg command-line tool, as a user would make them. A
// recipe is made once per process, in a folder of the test binary's own.
#pragma once

#include <string>
#include <vector>

namespace avfoundation::testing {

// The path of `name` made by running ffmpeg with `arguments` (the output path is appended); the
// test fails when ffmpeg is missing or fails.
std::string madeMedia(const std::string& name, const std::vector<std::string>& arguments);
// A file whose bytes are the given files' bytes one after the other (made once per process).
std::string concatenatedMedia(const std::string& name, const std::vector<std::string>& parts);
// The bytes of a file, and a new file of `name` holding `bytes`.
std::vector<unsigned char> fileBytes(const std::string& path);
std::string writtenMedia(const std::string& name, const std::vector<unsigned char>& bytes);
// The ffmpeg arguments of four seconds of a 160 x 120 test picture at 25 frames a second with a
// tone, followed by `encoding`.
std::vector<std::string> picturesAndSound(const std::vector<std::string>& encoding);
// One `side` x `side` PNG picture (`name`.png) and, in Matroska, that picture beside two seconds
// of a FLAC tone (`name`.mkv).
struct SoundBesidePicture {
  std::string picture;
  std::string withSound;
};
SoundBesidePicture soundBesideOnePicture(const std::string& name, int side);

}  // namespace avfoundation::testing
