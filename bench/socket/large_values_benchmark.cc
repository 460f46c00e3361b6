// Large replies and host messages through the running host, over its socket: how much CPU time
// of the host's main thread each MiB costs, against one copy of the same bytes into fresh memory
// in this process (the floor of any path that writes the value once). Each round times the copy
// and then the host's path, so that both see the machine alike; the medians of the rounds are
// reported: `main_ms_per_mib`, `copy_ms_per_mib` and their ratio `vs_one_copy`.
//
// Cases: a page's evaluation result (the web view encodes its replies on the main thread), a
// database page of one blob (encoded on the database's worker) and a page's script message (a
// host message, encoded on the main thread).
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/socket/host_process.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/socket_frame.h"

namespace {

using flutter::SocketFrame;
using flutter::SocketFrameKind;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr size_t kMiB = size_t{1} << 20;
constexpr const char* kWebKit = "dev.flutter.pigeon.wkwebview_host.";
constexpr int64_t kConfiguration = 1, kWebView = 2, kHandler = 3;

// An object reference of the web view's codec: tag 128, then the identifier.
struct Reference final : flutter::CustomValue {
  explicit Reference(int64_t id) : identifier(id) {}
  std::string typeName() const override { return "Reference"; }
  int64_t identifier;
};
Value ref(int64_t identifier) { return Value(std::make_shared<Reference>(identifier)); }

class WebKitWriter final : public FlutterStandardWriter {
 public:
  using FlutterStandardWriter::FlutterStandardWriter;
  void writeValue(const Value& value) override {
    if (auto reference = value.asCustom<Reference>()) {
      writeByte(128);
      FlutterStandardWriter::writeValue(Value(reference->identifier));
      return;
    }
    FlutterStandardWriter::writeValue(value);
  }
};

// References and enumerations read as the integers they carry.
class WebKitReader final : public FlutterStandardReader {
 public:
  using FlutterStandardReader::FlutterStandardReader;
  Value readValueOfType(uint8_t type) override {
    if (type >= 128) return readValue();
    return FlutterStandardReader::readValueOfType(type);
  }
};

class WebKitReaderWriter final : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const override {
    return std::make_unique<WebKitWriter>(data);
  }
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override {
    return std::make_unique<WebKitReader>(data);
  }
};

const FlutterStandardMessageCodec& webKitCodec() {
  static const FlutterStandardMessageCodec codec(std::make_shared<WebKitReaderWriter>());
  return codec;
}

// CPU time of this thread.
double threadNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// One copy of `source` into memory never touched before, as the floor of writing it once.
double freshCopyNanoseconds(const std::vector<uint8_t>& source) {
  void* fresh =
      ::mmap(nullptr, source.size(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (fresh == MAP_FAILED) throw std::runtime_error("mmap failed");
  const double start = threadNanoseconds();
  std::memcpy(fresh, source.data(), source.size());
  benchmark::ClobberMemory();
  const double elapsed = threadNanoseconds() - start;
  ::munmap(fresh, source.size());
  return elapsed;
}

// The Dart side of the host over its socket: calls and their replies, and the host's messages,
// each answered (with an empty list, the success of a call without result) and handed to
// `onHostMessage`.
class DartSide {
 public:
  explicit DartSide(const HostProcess& host)
      : host_(host), socket_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    host.socketPath().copy(address.sun_path, sizeof(address.sun_path) - 1);
    if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address))) {
      throw std::runtime_error("cannot connect to " + host.socketPath());
    }
  }

  // CPU time of the host's main thread (whose thread id is the process id), in nanoseconds.
  double hostMainThreadNanoseconds() const {
    const std::string path = "/proc/" + std::to_string(host_.pid()) + "/task/" +
                             std::to_string(host_.pid()) + "/schedstat";
    std::ifstream stat(path);
    double nanoseconds = 0;
    stat >> nanoseconds;
    return nanoseconds;
  }

  std::function<void(const std::string& channel, const Value& message)> onHostMessage;

  uint32_t send(const std::string& channel, const FlutterBytes& message) {
    const uint32_t id = ++last_id_;
    write(*flutter::encodeSocketFrame(
        SocketFrame{SocketFrameKind::messageFromDartSide, id, channel, message}));
    return id;
  }

  // Waits for the reply to `id`, answering the host's messages meanwhile.
  FlutterBinaryMessage replyTo(uint32_t id) {
    for (;;) {
      SocketFrame frame = receive();
      if (frame.kind == SocketFrameKind::replyFromHost && frame.id == id) return frame.payload;
      if (frame.kind != SocketFrameKind::messageFromHost) continue;
      write(*flutter::encodeSocketFrame(SocketFrame{SocketFrameKind::replyFromDartSide, frame.id,
                                                    "", webKitCodec().encode(ValueList{})}));
      if (onHostMessage) {
        onHostMessage(frame.channel,
                      frame.payload ? webKitCodec().decode(*frame.payload) : Value());
      }
    }
  }

  Value callWebKit(const std::string& operation, ValueList arguments) {
    auto reply = replyTo(send(kWebKit + operation, webKitCodec().encode(Value(arguments))));
    if (!reply) throw std::runtime_error(operation + " got no reply");
    return webKitCodec().decode(*reply);
  }

  FlutterBinaryMessage callDatabase(const std::string& method, ValueMap arguments) {
    return replyTo(
        send("com.velmora.litedb", FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
                                       {method, Value(std::move(arguments))})));
  }

 private:
  void write(const FlutterBytes& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      ssize_t written =
          ::send(socket_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (written <= 0) throw std::runtime_error("sending failed");
      sent += static_cast<size_t>(written);
    }
  }

  SocketFrame receive() {
    for (;;) {
      if (auto frame = decoder_.next()) return std::move(*frame);
      if (decoder_.hasFault()) throw std::runtime_error(decoder_.fault());
      ssize_t received = ::recv(socket_.get(), buffer_.data(), buffer_.size(), 0);
      if (received <= 0) throw std::runtime_error("the host closed the connection");
      decoder_.append(std::span<const uint8_t>(buffer_.data(), static_cast<size_t>(received)));
    }
  }

  const HostProcess& host_;
  libsystem::UniqueFd socket_;
  flutter::SocketFrameDecoder decoder_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1 << 20);
  uint32_t last_id_ = 0;
};

HostProcess& host() {
  static HostProcess process(DESKTOP_HOST_EXECUTABLE);
  return process;
}

double median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples.empty() ? 0 : samples[samples.size() / 2];
}

// Runs `path` each round after one fresh copy of as many bytes, and reports both per MiB.
void measure(benchmark::State& state, DartSide& dart, size_t bytes,
             const std::function<void()>& path) {
  const std::vector<uint8_t> source(bytes, 'x');
  path();  // warms the host's path
  std::vector<double> copies, mains;
  for (auto _ : state) {
    copies.push_back(freshCopyNanoseconds(source));
    const double before = dart.hostMainThreadNanoseconds();
    path();
    mains.push_back(dart.hostMainThreadNanoseconds() - before);
  }
  const double mib = static_cast<double>(bytes) / kMiB;
  std::vector<double> ratios;
  for (size_t i = 0; i < mains.size(); ++i) ratios.push_back(mains[i] / copies[i]);
  state.counters["main_ms_per_mib"] = median(mains) / 1e6 / mib;
  state.counters["copy_ms_per_mib"] = median(copies) / 1e6 / mib;
  state.counters["vs_one_copy"] = median(ratios);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void makeWebView(DartSide& dart) {
  dart.callWebKit("WKWebViewConfiguration.pigeon_defaultConstructor", {Value(kConfiguration)});
  dart.callWebKit("NSViewWKWebView.pigeon_defaultConstructor",
                  {Value(kWebView), ref(kConfiguration)});
}

void BM_HostEvaluationResult(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * kMiB;
  DartSide dart(host());
  makeWebView(dart);
  const std::string script = "'x'.repeat(" + std::to_string(bytes) + ")";
  measure(state, dart, bytes, [&] {
    auto reply =
        dart.callWebKit("NSViewWKWebView.evaluateJavaScript", {ref(kWebView), Value(script)});
    const auto* list = reply.asList();
    if (list == nullptr || list->size() != 1 || list->at(0).asString() == nullptr ||
        list->at(0).asString()->size() != bytes) {
      state.SkipWithError("unexpected answer");
    }
  });
}

void BM_HostDatabaseBlob(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * kMiB;
  DartSide dart(host());
  auto opened = dart.callDatabase(
      "openDatabase",
      ValueMap{{Value("path"), Value(":memory:")}, {Value("singleInstance"), Value(false)}});
  auto envelope = FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(*opened);
  const Value id = *std::get<Value>(envelope).find("id");
  dart.callDatabase("execute",
                    {{Value("id"), id}, {Value("sql"), Value("CREATE TABLE b (v BLOB)")}});
  dart.callDatabase(
      "execute",
      {{Value("id"), id},
       {Value("sql"), Value("INSERT INTO b VALUES (zeroblob(" + std::to_string(bytes) + "))")}});
  measure(state, dart, bytes, [&] {
    auto reply =
        dart.callDatabase("query", {{Value("id"), id}, {Value("sql"), Value("SELECT v FROM b")}});
    if (!reply || reply->size() < bytes) state.SkipWithError("unexpected answer");
  });
}

void BM_HostScriptMessage(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * kMiB;
  DartSide dart(host());
  makeWebView(dart);
  auto controller =
      dart.callWebKit("WKWebViewConfiguration.getUserContentController", {ref(kConfiguration)});
  dart.callWebKit("WKScriptMessageHandler.pigeon_defaultConstructor", {Value(kHandler)});
  dart.callWebKit("WKUserContentController.addScriptMessageHandler",
                  {ref(*controller.asList()->at(0).asInteger()), ref(kHandler), Value("bridge")});
  std::vector<int64_t> announced;
  size_t received = 0;
  dart.onHostMessage = [&](const std::string& channel, const Value& message) {
    if (channel == std::string(kWebKit) + "WKScriptMessage.pigeon_newInstance") {
      announced.push_back(*message.asList()->at(0).asInteger());
    } else if (channel == std::string(kWebKit) + "WKScriptMessageHandler.didReceiveScriptMessage") {
      ++received;
    }
  };
  const std::string script = "window.webkit.messageHandlers.bridge.postMessage('x'.repeat(" +
                             std::to_string(bytes) + ")); 'sent'";
  measure(state, dart, bytes, [&] {
    const size_t expected = received + 1;
    dart.callWebKit("NSViewWKWebView.evaluateJavaScript", {ref(kWebView), Value(script)});
    while (received < expected) {
      dart.callWebKit("PigeonInternalInstanceManager.removeStrongReference", {Value(int64_t{-1})});
    }
    // Lets the message go, as the Dart side does once it has it.
    for (int64_t message : announced) {
      dart.callWebKit("PigeonInternalInstanceManager.removeStrongReference", {Value(message)});
    }
    announced.clear();
  });
}

BENCHMARK(BM_HostEvaluationResult)->Arg(16)->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostDatabaseBlob)->Arg(16)->Iterations(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostScriptMessage)->Arg(16)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace
