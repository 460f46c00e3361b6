// The socket transport: its listening socket's life on disk, and an engine driven through it by a
// client on a real Unix socket.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/socket_dart_side.h"
#include "platform/flutter/tests/socket_test_support.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace fs = std::filesystem;
using flutter::SocketFrame;
using flutter::SocketFrameKind;
using flutter::SocketListener;
using flutter::Value;
using libsystem::UniqueFd;
using socket_testing::connectTo;
using socket_testing::TemporaryDirectory;
using std::chrono::milliseconds;

// Only against a hang: every wait ends on what it waits for, however busy the machine.
constexpr milliseconds kTimeout{60000};

// The Dart side's end, on the test thread, which pumps the main queue while it waits.
class SocketClient {
 public:
  explicit SocketClient(const std::string& path) : fd_(connectTo(path)) {}
  bool connected() const { return fd_.valid(); }

  // Sends `bytes` whole. The host's main thread reads the socket, so while the socket is full
  // the main queue is pumped, as if the Dart side were the other process it is.
  void sendRaw(const FlutterBytes& bytes) {
    size_t sent = 0;
    dispatch::testing::runUntil(
        [&] {
          ssize_t written = ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent,
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
          if (written > 0) sent += static_cast<size_t>(written);
          return sent == bytes.size() || (written < 0 && errno != EAGAIN);
        },
        kTimeout);
    ASSERT_EQ(sent, bytes.size());
  }
  void send(const SocketFrame& frame) { sendRaw(*flutter::encodeSocketFrame(frame)); }
  void call(uint32_t id, const std::string& channel, const std::string& method, Value arguments) {
    send({SocketFrameKind::messageFromDartSide, id, channel,
          FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({method, arguments})});
  }

  std::optional<SocketFrame> receive(milliseconds timeout = kTimeout) {
    std::optional<SocketFrame> frame;
    dispatch::testing::runUntil([&] { return (frame = decoder_.next()) || !readSome(); }, timeout);
    return frame;
  }
  // True once the host has closed the connection.
  bool waitForClose() {
    return dispatch::testing::runUntil([&] { return !readSome(); }, kTimeout);
  }
  void close() { fd_.reset(); }

 private:
  // Takes what has arrived; false at the end of the stream.
  bool readSome() {
    uint8_t chunk[4096];
    ssize_t received = ::recv(fd_.get(), chunk, sizeof(chunk), MSG_DONTWAIT);
    if (received == 0 || (received < 0 && errno != EAGAIN)) return false;
    if (received > 0) decoder_.append(std::span<const uint8_t>(chunk, static_cast<size_t>(received)));
    return true;
  }

  UniqueFd fd_;
  flutter::SocketFrameDecoder decoder_;
};

FlutterEnvelope decodeEnvelope(const SocketFrame& frame) {
  return FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(*frame.payload);
}

TEST(SocketListenerTest, OwnsItsSocketFileAndNothingElse) {
  TemporaryDirectory directory;
  std::string error;
  const auto path = directory.file("host.sock");
  {
    auto listener = SocketListener::open(path, error);
    ASSERT_TRUE(listener) << error;
    struct stat status {};
    ASSERT_EQ(::lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISSOCK(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    // A second listener on a path in use is refused and leaves the first one's file alone.
    EXPECT_FALSE(SocketListener::open(path, error));
    EXPECT_NE(error.find("already listening"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(path));
  }
  EXPECT_FALSE(fs::exists(path)) << "removed with its listener";

  // A stale socket file (its listener died without removing it) is replaced.
  {
    UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  }
  ASSERT_TRUE(fs::exists(path));
  EXPECT_TRUE(SocketListener::open(path, error)) << error;

  // A file that is not a socket is refused, untouched.
  const auto regular = directory.file("notes.txt");
  std::ofstream(regular) << "keep me";
  EXPECT_FALSE(SocketListener::open(regular, error));
  EXPECT_NE(error.find("is not a socket"), std::string::npos) << error;
  std::string content;
  std::getline(std::ifstream(regular), content);
  EXPECT_EQ(content, "keep me");

  EXPECT_FALSE(SocketListener::open(directory.file(std::string(120, 'x')), error));
  EXPECT_NE(error.find("bytes long"), std::string::npos) << error;

  // A file put in the socket's place meanwhile is not the listener's to remove.
  {
    auto listener = SocketListener::open(path, error);
    ASSERT_TRUE(listener) << error;
    fs::remove(path);
    std::ofstream(path) << "someone else's";
  }
  EXPECT_TRUE(fs::is_regular_file(path));
}

// A stale file whose folder another process holds locked is left alone, and the refusal says so:
// nobody was found listening.
TEST(SocketListenerTest, AStaleFileInAFolderLockedElsewhereIsRefusedForTheLock) {
  TemporaryDirectory directory;
  const auto path = directory.file("host.sock");
  {
    UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  }
  // A lock of the folder's own open file, as another host starting there holds it.
  UniqueFd folder(::open(fs::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY));
  ASSERT_EQ(::flock(folder.get(), LOCK_EX), 0);
  std::string error;
  EXPECT_FALSE(SocketListener::open(path, error));
  EXPECT_EQ(error.find("already listening"), std::string::npos) << error;
  EXPECT_NE(error.find("could not lock the folder"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_socket(path)) << "the stale file is left for the lock's holder";
  // Once the lock is free the stale file is replaced.
  ASSERT_EQ(::flock(folder.get(), LOCK_UN), 0);
  EXPECT_TRUE(SocketListener::open(path, error)) << error;
}

class SocketTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    foundation::testing::setLogCapture(true);
    ASSERT_TRUE(engine_->serveDartSideOnSocket(path_));
    FlutterMethodChannel(kEcho, engine_->binaryMessenger())
        .setMethodCallHandler([](const FlutterMethodCall& call, FlutterResult result) {
          if (call.method == "echo") {
            result(call.arguments);
          } else if (call.method == "huge") {
            result(Value(std::vector<uint8_t>(flutter::kMaxSocketFrameLength + 1)));
          } else {
            result(FlutterError{"refused", "asked to fail", call.arguments});
          }
        });
  }
  void TearDown() override {
    engine_->shutDown();
    dispatch::testing::drainUntilIdle();
    EXPECT_TRUE(flutter::takeFaults().empty());
    foundation::testing::setLogCapture(false);
  }

  size_t logLinesContaining(const std::string& text) {
    size_t count = 0;
    for (const auto& line : foundation::testing::takeLogLines()) {
      count += line.find(text) != std::string::npos;
    }
    return count;
  }

  static constexpr const char* kEcho = "test/echo";
  TemporaryDirectory directory_;
  std::string path_ = directory_.file("dart-side.sock");
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
};

TEST_F(SocketTransportTest, MessagesReachTheirHandlersAndRepliesKeepTheirIds) {
  SocketClient client(path_);
  ASSERT_TRUE(client.connected());
  client.call(41, kEcho, "echo", Value(flutter::ValueMap{{"n", int32_t{7}}}));
  client.call(42, kEcho, "fail", Value("why"));
  client.send({SocketFrameKind::messageFromDartSide, 43, "test/absent", FlutterBytes{1}});

  auto echoed = client.receive();
  ASSERT_TRUE(echoed);
  EXPECT_EQ(echoed->kind, SocketFrameKind::replyFromHost);
  EXPECT_EQ(echoed->id, 41u);
  EXPECT_TRUE(echoed->channel.empty());
  EXPECT_EQ(std::get<Value>(decodeEnvelope(*echoed)), Value(flutter::ValueMap{{"n", int32_t{7}}}));

  auto failed = client.receive();
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->id, 42u);
  EXPECT_EQ(std::get<FlutterError>(decodeEnvelope(*failed)).code, "refused");

  // No handler: a reply without payload.
  auto absent = client.receive();
  ASSERT_TRUE(absent);
  EXPECT_EQ(absent->id, 43u);
  EXPECT_FALSE(absent->payload);
}

TEST_F(SocketTransportTest, HostCallsGetTheDartSidesAnswerOrNoReplyWhenItLeaves) {
  FlutterMethodChannel toDart("test/to_dart", engine_->binaryMessenger());
  std::vector<FlutterMethodResponse> answers;
  auto collect = [&](FlutterMethodResponse response) { answers.push_back(std::move(response)); };

  // Nobody connected yet: no reply, at once.
  toDart.invokeMethod("early", nullptr, collect);
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return answers.size() == 1; }, kTimeout));
  EXPECT_TRUE(std::holds_alternative<FlutterMethodNotImplementedType>(answers[0]));

  SocketClient client(path_);
  // The connection is served once a round trip has been made through it.
  client.call(1, kEcho, "echo", nullptr);
  ASSERT_TRUE(client.receive());

  toDart.invokeMethod("ask", Value("question"), collect);
  toDart.invokeMethod("ignored", nullptr, collect);
  auto asked = client.receive();
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->kind, SocketFrameKind::messageFromHost);
  EXPECT_EQ(asked->channel, "test/to_dart");
  auto call = FlutterStandardMethodCodec::sharedInstance()->decodeMethodCall(*asked->payload);
  EXPECT_EQ(call.method, "ask");
  auto ignored = client.receive();
  ASSERT_TRUE(ignored);
  EXPECT_NE(ignored->id, asked->id);

  client.send({SocketFrameKind::replyFromDartSide, asked->id, "",
               FlutterStandardMethodCodec::sharedInstance()->encodeSuccessEnvelope(Value("answer"))});
  // A reply to an id nobody waits for is dropped.
  client.send({SocketFrameKind::replyFromDartSide, 999, "", std::nullopt});
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return answers.size() == 2; }, kTimeout));
  EXPECT_EQ(std::get<Value>(answers[1]), Value("answer"));

  // The Dart side leaves without answering the second call: it gets no reply, nothing is lost.
  client.close();
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return answers.size() == 3; }, kTimeout));
  EXPECT_TRUE(std::holds_alternative<FlutterMethodNotImplementedType>(answers[2]));
}

TEST_F(SocketTransportTest, ABadFrameClosesOnlyItsConnection) {
  const std::vector<std::pair<const char*, FlutterBytes>> hostile = {
      {"kind only the host sends", *flutter::encodeSocketFrame(
                                       {SocketFrameKind::replyFromHost, 1, "", std::nullopt})},
      {"huge length", FlutterBytes{0xFF, 0xFF, 0xFF, 0x7F, 1}},
  };
  for (const auto& [description, bytes] : hostile) {
    SocketClient client(path_);
    client.sendRaw(bytes);
    EXPECT_TRUE(client.waitForClose()) << description;
    EXPECT_EQ(logLinesContaining("Closed the Dart side's connection"), 1u) << description;
  }
  // A connection that ends inside a frame is one more bad frame.
  {
    SocketClient client(path_);
    auto bytes = *flutter::encodeSocketFrame({SocketFrameKind::messageFromDartSide, 1, kEcho, {}});
    bytes.pop_back();
    client.sendRaw(bytes);
  }
  SocketClient good(path_);
  good.call(7, kEcho, "echo", Value("still here"));
  auto reply = good.receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(std::get<Value>(decodeEnvelope(*reply)), Value("still here"));
  EXPECT_EQ(logLinesContaining("the connection ended inside a frame"), 1u);
}

TEST_F(SocketTransportTest, AnOversizedReplyOrEventFailsOnlyItself) {
  SocketClient client(path_);
  client.call(1, kEcho, "huge", nullptr);
  // Building and encoding a 64 MiB answer takes a while on a loaded machine.
  auto failed = client.receive(milliseconds(60000));
  ASSERT_TRUE(failed) << "the connection was closed";
  EXPECT_EQ(failed->id, 1u);
  ASSERT_TRUE(failed->payload);
  auto error = std::get<FlutterError>(decodeEnvelope(*failed));
  EXPECT_EQ(error.code, flutter::kSocketReplyTooLargeCode);

  // An event too large for a frame is dropped, with a line naming its channel.
  auto events = engine_->binaryMessenger();
  events->sendOnChannel("test/events", FlutterBytes(flutter::kMaxSocketFrameLength));
  bool unanswered = false;
  events->sendOnChannel("test/calls", FlutterBytes(flutter::kMaxSocketFrameLength),
                        [&](FlutterBinaryMessage reply) { unanswered = !reply.has_value(); });
  events->sendOnChannel("test/events", FlutterBytes{1, 2});
  auto event = client.receive();
  ASSERT_TRUE(event) << "the connection was closed";
  EXPECT_EQ(event->channel, "test/events");
  EXPECT_EQ(event->payload, (FlutterBytes{1, 2}));
  EXPECT_TRUE(dispatch::testing::runUntil([&] { return unanswered; }, kTimeout));

  client.call(2, kEcho, "echo", Value("still here"));
  auto reply = client.receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(std::get<Value>(decodeEnvelope(*reply)), Value("still here"));

  auto lines = foundation::testing::takeLogLines();
  auto mentions = [&](const std::string& text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  EXPECT_EQ(mentions("'test/echo'"), 1) << "the reply's line names the call's channel";
  EXPECT_EQ(mentions("'test/events'"), 1);
  EXPECT_EQ(mentions("'test/calls'"), 1);
  EXPECT_EQ(mentions("''"), 0) << "no line shows an empty channel name";
  EXPECT_EQ(mentions("Closed the Dart side's connection"), 0);
}

// The Dart side's messages of one read are handled together; a reply read among them keeps its
// place, and every answer given meanwhile goes out.
TEST_F(SocketTransportTest, FramesOfOneReadKeepTheirOrder) {
  std::vector<std::string> handled;
  FlutterMethodChannel order("test/order", engine_->binaryMessenger());
  order.setMethodCallHandler([&](const FlutterMethodCall& call, FlutterResult result) {
    handled.push_back(call.method);
    result(Value(call.method));
  });
  SocketClient client(path_);
  client.call(1, kEcho, "echo", nullptr);
  ASSERT_TRUE(client.receive());
  engine_->binaryMessenger()->sendOnChannel("test/to_dart", FlutterBytes{1},
                                            [&](FlutterBinaryMessage) { handled.push_back("reply"); });
  auto asked = client.receive();
  ASSERT_TRUE(asked);

  const auto& codec = *FlutterStandardMethodCodec::sharedInstance();
  FlutterBytes one_write;
  auto add = [&](const SocketFrame& frame) {
    auto bytes = *flutter::encodeSocketFrame(frame);
    one_write.insert(one_write.end(), bytes.begin(), bytes.end());
  };
  add({SocketFrameKind::messageFromDartSide, 2, "test/order", codec.encodeMethodCall({"first", nullptr})});
  add({SocketFrameKind::replyFromDartSide, asked->id, "", std::nullopt});
  for (uint32_t id = 3; id < 40; ++id) {
    add({SocketFrameKind::messageFromDartSide, id, "test/order",
         codec.encodeMethodCall({"m" + std::to_string(id), nullptr})});
  }
  client.sendRaw(one_write);
  for (uint32_t id = 2; id < 40; ++id) {
    auto reply = client.receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, id);
  }
  ASSERT_GE(handled.size(), 2u);
  EXPECT_EQ(handled[0], "first");
  EXPECT_EQ(handled[1], "reply");
  EXPECT_EQ(handled.size(), 39u);
}

// Replies larger than the socket takes at once wait, as they are, for the I/O thread; what is
// sent after them waits behind them.
TEST_F(SocketTransportTest, LargeRepliesArriveWholeAndInOrder) {
  SocketClient client(path_);
  std::vector<uint8_t> large(1 << 20);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  const std::vector<Value> arguments = {Value(large), Value("small"),
                                        Value(std::vector<uint8_t>(3000, 5)), Value(large), Value()};
  for (uint32_t id = 0; id < arguments.size(); ++id) client.call(id, kEcho, "echo", arguments[id]);
  auto event_payload = FlutterBytes(1 << 20, 9);
  engine_->binaryMessenger()->sendOnChannel("test/events", event_payload);

  // The event may overtake the calls, which wait for the main thread; replies keep their order.
  uint32_t next_reply = 0;
  bool event_seen = false;
  while (next_reply < arguments.size() || !event_seen) {
    auto frame = client.receive(milliseconds(30000));
    ASSERT_TRUE(frame) << "the connection was closed";
    if (frame->kind == SocketFrameKind::messageFromHost) {
      EXPECT_FALSE(event_seen);
      EXPECT_EQ(frame->channel, "test/events");
      EXPECT_EQ(frame->payload, event_payload);
      event_seen = true;
      continue;
    }
    ASSERT_EQ(frame->id, next_reply);
    EXPECT_EQ(std::get<Value>(decodeEnvelope(*frame)), arguments[next_reply]) << next_reply;
    ++next_reply;
  }
}

// How often the transport's I/O thread has gone to sleep and been woken, from its scheduler
// counts (/proc/self/task/<tid>/status).
uint64_t ioThreadWakeUps() {
  uint64_t total = 0;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    if (name != flutter::SocketDartSide::kIoThreadName) continue;
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stoull(line.substr(24));
    }
  }
  return total;
}

// A small call wakes the host once: its main thread's loop reads the socket itself, and the I/O
// thread sleeps through calls whose answers the socket takes at once. Long calls among them are
// still answered, whole and in order.
TEST_F(SocketTransportTest, SmallCallsWakeOnlyTheMainThread) {
  SocketClient client(path_);
  client.call(1, kEcho, "echo", Value(int32_t{1}));
  ASSERT_TRUE(client.receive());
  constexpr uint32_t kCalls = 200;
  const uint64_t before = ioThreadWakeUps();
  for (uint32_t id = 2; id < 2 + kCalls; ++id) {
    client.call(id, kEcho, "echo", Value(int32_t(id)));
    auto reply = client.receive();
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->id, id);
  }
  EXPECT_LT(ioThreadWakeUps() - before, kCalls / 10);

  const Value long_argument(std::vector<uint8_t>(300 * 1024, 3));
  client.call(500, kEcho, "echo", long_argument);
  client.call(501, kEcho, "echo", Value("after"));
  auto long_reply = client.receive();
  ASSERT_TRUE(long_reply);
  EXPECT_EQ(long_reply->id, 500u);
  EXPECT_EQ(std::get<Value>(decodeEnvelope(*long_reply)), long_argument);
  auto next = client.receive();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->id, 501u);
  EXPECT_EQ(std::get<Value>(decodeEnvelope(*next)), Value("after"));
}

TEST_F(SocketTransportTest, ShutdownEndsTheConnectionAndRemovesTheSocketFile) {
  SocketClient client(path_);
  client.call(1, kEcho, "echo", nullptr);
  ASSERT_TRUE(client.receive());
  ASSERT_TRUE(fs::exists(path_));
  engine_->shutDown();
  EXPECT_FALSE(fs::exists(path_));
  EXPECT_TRUE(client.waitForClose());
  EXPECT_FALSE(SocketClient(path_).connected());
}

}  // namespace
