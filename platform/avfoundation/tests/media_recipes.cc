#include "platform/avfoundation/tests/media_recipes.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

extern char** environ;

namespace avfoundation::testing {
namespace {

std::string folder() {
  static const std::string made = [] {
    std::string path = ::testing::TempDir() + "media_recipes_" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return made;
}

// Runs ffmpeg quietly; its exit status.
int runFFmpeg(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(),
                   {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"});
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string madeMedia(const std::string& name, const std::vector<std::string>& arguments) {
  static std::map<std::string, std::string> made;
  if (auto found = made.find(name); found != made.end()) return found->second;
  std::string path = folder() + "/" + name;
  auto all = arguments;
  all.push_back(path);
  EXPECT_EQ(runFFmpeg(all), 0) << "ffmpeg could not make " << name;
  made[name] = path;
  return path;
}

std::vector<unsigned char> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string writtenMedia(const std::string& name, const std::vector<unsigned char>& bytes) {
  std::string path = folder() + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string concatenatedMedia(const std::string& name, const std::vector<std::string>& parts) {
  std::vector<unsigned char> all;
  for (const auto& part : parts) {
    auto bytes = fileBytes(part);
    all.insert(all.end(), bytes.begin(), bytes.end());
  }
  return writtenMedia(name, all);
}

std::vector<std::string> picturesAndSound(const std::vector<std::string>& encoding) {
  std::vector<std::string> all = {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=4",
                                  "-f", "lavfi", "-i", "sine=duration=4"};
  all.insert(all.end(), encoding.begin(), encoding.end());
  return all;
}

SoundBesidePicture soundBesideOnePicture(const std::string& name, int side) {
  const std::string size = std::to_string(side) + "x" + std::to_string(side);
  auto picture =
      madeMedia(name + ".png", {"-f", "lavfi", "-i", "testsrc2=size=" + size, "-frames:v", "1",
                                "-pix_fmt", "rgba", "-c:v", "png", "-f", "image2"});
  auto withSound = madeMedia(
      name + ".mkv", {"-framerate", "1", "-i", picture, "-f", "lavfi", "-i", "sine=duration=2",
                      "-map", "0", "-map", "1", "-c:v", "copy", "-c:a", "flac"});
  return {picture, withSound};
}

}  // namespace avfoundation::testing
