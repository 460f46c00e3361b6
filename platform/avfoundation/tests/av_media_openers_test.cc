// A media file is the one local file its asset opened: files that name other resources (a DASH
// manifest, an HLS playlist, a session description, a concatenation list) are refused as media
// the host cannot play, without connecting, binding or opening anything they name; nested opens
// are refused outright; and a probe that takes long never holds up other players' probes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/internal/media_file.h"
#include "platform/avfoundation/internal/media_probes.h"
#include "platform/avfoundation/testing/media_backing_controls.h"
#include "platform/avfoundation/testing/media_library_controls.h"
#include "platform/avfoundation/tests/media_recipes.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/process_threads.h"

namespace {

namespace av = avfoundation::testing;
using dispatch::testing::runUntil;

// A socket bound to a free port of 127.0.0.1, closed with the object.
struct LoopbackSocket {
  int fd = -1;
  int port = 0;
  explicit LoopbackSocket(int type) {
    fd = socket(AF_INET, type | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port = ntohs(address.sin_port);
    }
    if (type == SOCK_STREAM) listen(fd, 8);
  }
  ~LoopbackSocket() { close(fd); }
  bool connected() const {
    int peer = accept(fd, nullptr, nullptr);
    if (peer >= 0) close(peer);
    return peer >= 0;
  }
};

// The bytes this process has read from files so far.
uint64_t bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

bool udpPortFree(int port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return bound;
}

class MediaOpenersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    av::useMediaLibrary();
    folder_ = ::testing::TempDir() + "media_openers_" + std::to_string(getpid());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    av::useMediaModel();
    dispatch::testing::drainUntilIdle();
  }
  std::string write(const std::string& name, const std::string& text) {
    std::string path = folder_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  // The probe of the file ends, failed, with the error of media the host cannot play.
  static void expectRefused(const std::string& path) {
    auto asset = AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path), {});
    std::atomic<bool> done{false};
    asset->loadValuesAsynchronouslyForKeys({"playable"}, [&done] { done = true; });
    ASSERT_TRUE(runUntil([&] { return done.load(); }, std::chrono::seconds(20))) << path;
    NSError error;
    EXPECT_EQ(asset->statusOfValueForKey("playable", &error), AVKeyValueStatusFailed) << path;
    EXPECT_EQ(error.domain, "AVFoundationErrorDomain") << path;
    EXPECT_EQ(error.code, -11828) << path;
  }
  std::string folder_;
};

TEST_F(MediaOpenersTest, FilesNamingOtherResourcesAreRefusedWithoutReachingThem) {
  LoopbackSocket server(SOCK_STREAM);
  ASSERT_GT(server.port, 0);
  LoopbackSocket spare(SOCK_DGRAM);  // a port free a moment ago, for the session description
  int rtpPort = spare.port & ~1;
  close(spare.fd);
  spare.fd = -1;
  auto media = av::madeMedia("openers_sound.mp3", {"-f", "lavfi", "-i", "sine=duration=1"});
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/v.mp4";
  const std::string mpd =
      "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" "
      "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\" type=\"static\" "
      "mediaPresentationDuration=\"PT1S\" minBufferTime=\"PT1S\"><Period><AdaptationSet "
      "mimeType=\"audio/mpeg\"><Representation id=\"a\" bandwidth=\"64000\"><BaseURL>";
  const std::string mpdEnd = "</BaseURL></Representation></AdaptationSet></Period></MPD>\n";
  for (const auto& path : {
           write("remote_manifest.mp4", mpd + url + mpdEnd),
           write("local_manifest.mp4", mpd + media + mpdEnd),
           write("playlist.mp4", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + url +
                                     "\n#EXTINF:1,\n" + media + "\n#EXT-X-ENDLIST\n"),
           write("session.mp4", "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\n"
                                "m=audio " + std::to_string(rtpPort) +
                                " RTP/AVP 14\na=rtpmap:14 MPA/90000\n"),
           write("list.mp4", "ffconcat version 1.0\nfile " +
                                 std::filesystem::path(media).filename().string() + "\nfile " +
                                 media + "\n"),
       }) {
    expectRefused(path);
  }
  EXPECT_FALSE(server.connected());
  EXPECT_TRUE(udpPortFree(rtpPort));
}

TEST_F(MediaOpenersTest, EveryNestedOpenAndEveryProtocolIsRefused) {
  auto media = av::madeMedia("openers_nested.mp3", {"-f", "lavfi", "-i", "sine=duration=1"});
  for (const std::string& url : {media, "file:" + media, std::string("http://127.0.0.1:9/x"),
                                 std::string("data:,hello"), std::string("subfile:" + media)}) {
    EXPECT_FALSE(av::nestedOpenAllowed(url)) << url;
    EXPECT_FALSE(av::openByNameAllowed(url)) << url;
  }
}

TEST_F(MediaOpenersTest, RunningOutOfDescriptorsIsReportedAsSuch) {
  auto media = av::madeMedia("openers_starved.mp3", {"-f", "lavfi", "-i", "sine=duration=1"});
  // In a child of its own: out of descriptors, the sanitizers' own checks fail too.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = 64;
    setrlimit(RLIMIT_NOFILE, &limit);
    while (dup(0) >= 0) {
    }
    NSError error;
    bool opened = avfoundation::internal::MediaFile::openFile(media, &error) != nullptr;
    _exit(!opened && error.domain == "NSPOSIXErrorDomain" && error.code == EMFILE &&
                  error.localizedDescription.find("Too many open files") != std::string::npos
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(MediaOpenersTest, AProbeThatRunsLongGivesItsSlotToTheNext) {
  using avfoundation::internal::kConcurrentProbes;
  using avfoundation::internal::runProbe;
  // As many probes as there are slots, each stuck until released, and one more behind them. The
  // probes share what they wait on, so that it outlives this test however late they end.
  struct Shared {
    std::atomic<bool> release{false};
    std::atomic<int> stuck{0};
    std::atomic<int> ended{0};
    std::atomic<bool> ran{false};
  };
  auto shared = std::make_shared<Shared>();
  for (int i = 0; i < kConcurrentProbes; ++i) {
    runProbe([shared] {
      ++shared->stuck;
      shared->release.wait(false);
      ++shared->ended;
    });
  }
  runProbe([shared] { shared->ran = true; });
  bool ranWhileStuck = runUntil([&] { return shared->ran.load(); }, std::chrono::seconds(20));
  shared->release = true;
  shared->release.notify_all();
  EXPECT_TRUE(ranWhileStuck);
  EXPECT_EQ(shared->stuck.load(), kConcurrentProbes);
  EXPECT_TRUE(runUntil([&] { return shared->ended.load() == kConcurrentProbes; }));
}

TEST_F(MediaOpenersTest, AProbeWhoseAssetIsGoneStopsAtItsNextRead) {
  using dispatch::testing::otherThreadsCpuSeconds;
  // A first picture that takes a while to decode, then megabytes of a second stream whose
  // pictures never tell their format (their bit depth is broken): a probe reads on to its limit.
  auto large = av::madeMedia("probe_large.png", {"-f", "lavfi", "-i", "color=size=8190x8190",
                                                 "-frames:v", "1", "-c:v", "png", "-f", "image2"});
  auto small = av::madeMedia("probe_small.png", {"-f", "lavfi", "-i", "testsrc=size=64x64",
                                                 "-frames:v", "1", "-c:v", "png", "-f", "image2"});
  auto made = av::madeMedia("probe_long.mkv",
                            {"-framerate", "1", "-i", large, "-loop", "1", "-framerate", "1000",
                             "-i", small, "-map", "0", "-map", "1", "-frames:v:1", "16000", "-c",
                             "copy"});
  auto bytes = av::fileBytes(made);
  ASSERT_GT(bytes.size(), size_t{8} << 20);
  // A chunk "IHDR", then width (4 bytes), height (4), bit depth (1).
  int broken = 0;
  for (size_t at = 0; at + 13 <= bytes.size(); ++at) {
    if (std::equal(bytes.begin() + at, bytes.begin() + at + 8, "IHDR\0\0\0\x40")) {
      bytes[at + 12] = 3;
      ++broken;
    }
  }
  ASSERT_GE(broken, 15000);
  auto path = av::writtenMedia("probe_long_broken.mkv", bytes);
  auto item = AVPlayerItem::playerItemWithAsset(
      AVURLAsset::URLAssetWithURL(NSURL::fileURLWithPath(path), {}));
  // Past a tenth of a second of CPU the probe is decoding the first picture, with most of the
  // file still to read.
  double before = otherThreadsCpuSeconds();
  ASSERT_TRUE(runUntil([&] { return otherThreadsCpuSeconds() - before > 0.1; },
                       std::chrono::seconds(60)));
  uint64_t readBefore = bytesRead();
  item = nullptr;
  ASSERT_TRUE(dispatch::testing::drainUntilIdle(std::chrono::seconds(60)));
  EXPECT_LT(bytesRead() - readBefore, uint64_t{1} << 20);
}

}  // namespace
