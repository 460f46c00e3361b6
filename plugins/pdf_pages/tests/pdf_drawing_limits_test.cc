// Documents are read and pages drawn where the work can be ended: past its time or memory budget
// a load or a page answers its error, the host and its other channels go on, and the next call
// works.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/coregraphics/testing/pdf_writer.h"
#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/testing/system_limits.h"
#include "plugins/pdf_pages/pdf_pages_plugin.h"
#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

namespace pdf_pages::testing {
namespace {

using Clock = std::chrono::steady_clock;
using coregraphics::testing::PdfWriter;
using flutter::Value;
using flutter::ValueMap;
using flutter::testing::MethodReply;

// Small budgets, so that a test waits seconds rather than the host's minutes.
const DrawingLimits kTestLimits{std::chrono::milliseconds(1500), size_t{384} << 20};
// The budgets are of the worker's CPU time, which a busy machine stretches on the wall clock up to
// the host's backstop (three times the budget and 5 s); past that and 10 s more, the work hung.
const auto kHangGuard = 3 * kTestLimits.time + std::chrono::seconds(15);

std::string repeated(const std::string& text, size_t times) {
  std::string result;
  result.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) result += text;
  return result;
}

std::string onePage(std::string content) {
  PdfWriter writer;
  writer.addPage({CGRectMake(0, 0, 612, 792), std::nullopt, 0, std::move(content)});
  return writer.write();
}

// A million saved graphics states: gigabytes to draw, from 2 MB.
std::string memoryBomb() { return onePage(repeated("q ", 1000000) + "1 0 0 rg 0 0 10 10 re f"); }
// An array of 16 million zeros, half a gigabyte once parsed, packed into 30 KB in the document's
// catalog (read on opening) or in its page (read on measuring).
std::string packedArray() {
  std::string zeros = "0 ";
  while (zeros.size() < (size_t{32} << 20)) zeros += zeros;
  return "[" + zeros + "]";
}
std::string catalogBomb(const std::string& array) {
  return handMadeDocument({{3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>"}},
                          {{1, "<< /Type /Catalog /Pages 2 0 R /Junk " + array + " >>"},
                           {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}});
}
std::string pageBomb(const std::string& array) {
  return handMadeDocument(
      {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}},
      {{3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Junk " + array + " >>"}});
}

// Lines across the whole page, each stroked on its own: minutes to draw large, in little memory.
std::string timeBomb() { return onePage(repeated("0 0 m 612 792 l S ", 200000)); }

class DrawingLimitsTest : public ::testing::Test {
 protected:
  explicit DrawingLimitsTest(DrawingLimits limits = kTestLimits) {
    PdfPagesPlugin::registerWithLimits(dart.registrar("PdfPagesPlugin"), limits);
  }

  MethodReply load(const std::string& id, const std::string& pdf) {
    return dart.invokeMethod("pdf_pages", "initializePdfRenderer",
                             Value(ValueMap{{Value("documentBytes"),
                                             Value(std::vector<uint8_t>(pdf.begin(), pdf.end()))},
                                            {Value("documentID"), Value(id)}}));
  }
  Value page(const std::string& id, int64_t width, int64_t height) {
    return Value(ValueMap{{Value("index"), Value(int64_t{1})},
                          {Value("width"), Value(width)},
                          {Value("height"), Value(height)},
                          {Value("documentID"), Value(id)}});
  }
  MethodReply draw(const std::string& id, int64_t width, int64_t height) {
    return dart.invokeMethod("pdf_pages", "getPage", page(id, width, height));
  }

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
};

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void expectRenderError(const MethodReply& reply) {
  ASSERT_TRUE(reply.isError()) << reply.describe();
  EXPECT_EQ(reply.error.code, "PDF_BITMAP_FAILED") << reply.describe();
}

TEST_F(DrawingLimitsTest, ADocumentPastItsReadingBudgetIsRefusedWithinItAndNothingIsStored) {
  ASSERT_EQ(load("doc", fourPageDocument()).value, Value("4"));
  const std::string array = packedArray();
  for (const std::string& bomb : {catalogBomb(array), pageBomb(array)}) {
    ASSERT_LT(bomb.size(), size_t{50000});
    const auto start = Clock::now();
    auto refused = load("doc", bomb);
    EXPECT_LT(Clock::now() - start, kHangGuard);
    ASSERT_TRUE(refused.isError()) << refused.describe();
    EXPECT_EQ(refused.error.code, "PDF_LOAD_FAILED") << refused.describe();
    // The document loaded before under the id stays, and still draws.
    auto widths = dart.invokeMethod("pdf_pages", "getPagesWidth", Value("doc"));
    ASSERT_NE(widths.value.asList(), nullptr) << widths.describe();
    EXPECT_EQ(widths.value.asList()->size(), 4u);
    EXPECT_TRUE(draw("doc", 10, 10).isSuccess());
  }
}

TEST_F(DrawingLimitsTest, APagePastItsMemoryBudgetAnswersTheRenderErrorAndTheNextPageDraws) {
  ASSERT_EQ(load("bomb", memoryBomb()).value, Value("1"));
  ASSERT_EQ(load("plain", fourPageDocument()).value, Value("4"));

  expectRenderError(draw("bomb", 60, 80));
  // The host goes on: another document draws, and the same page fails the same way again.
  auto plain = draw("plain", 153, 198);
  ASSERT_TRUE(plain.isSuccess()) << plain.describe();
  const auto* pixels = plain.value.getIf<std::vector<uint8_t>>();
  ASSERT_NE(pixels, nullptr);
  EXPECT_TRUE(near(pixelAt(*pixels, 153, 10, 188), {255, 0, 0, 255}));
  expectRenderError(draw("bomb", 60, 80));
  EXPECT_TRUE(draw("plain", 10, 10).isSuccess());
}

TEST_F(DrawingLimitsTest, ATilePastItsMemoryBudgetAnswersTheRenderErrorToo) {
  ASSERT_EQ(load("bomb", memoryBomb()).value, Value("1"));
  auto tile = [&](const std::string& id) {
    return dart.invokeMethod("pdf_pages", "getTileImage",
                             Value(ValueMap{{Value("pageNumber"), Value(int64_t{1})},
                                            {Value("scale"), Value(0.1)},
                                            {Value("width"), Value(61.0)},
                                            {Value("height"), Value(79.0)},
                                            {Value("x"), Value(0.0)},
                                            {Value("y"), Value(0.0)},
                                            {Value("documentID"), Value(id)}}));
  };
  expectRenderError(tile("bomb"));
  ASSERT_EQ(load("plain", fourPageDocument()).value, Value("4"));
  EXPECT_TRUE(tile("plain").isSuccess());
}

TEST_F(DrawingLimitsTest, APagePastItsTimeBudgetAnswersTheRenderErrorWithinIt) {
  ASSERT_EQ(load("slow", timeBomb()).value, Value("1"));
  const auto start = Clock::now();
  expectRenderError(draw("slow", 1224, 1584));
  EXPECT_LT(Clock::now() - start, kHangGuard);
}

// Answered while the page is drawn, not after it; and the main thread spends little of its own
// time on the drawing meanwhile (its CPU time, not the wall clock, which a busy machine stretches).
TEST_F(DrawingLimitsTest, AnotherPlugInIsAnsweredWhileAPageIsDrawn) {
  engine->messenger().setMessageHandlerOnChannel(
      "another_plugin",
      [](FlutterBinaryMessage message, FlutterBinaryReply reply) { reply(std::move(message)); });
  ASSERT_EQ(load("slow", timeBomb()).value, Value("1"));
  auto drawing = dart.invokeMethodAsync("pdf_pages", "getPage", page("slow", 1224, 1584));

  const double main_thread_start = threadCpuSeconds();
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(dart.sendMessage("another_plugin", Value("ping")), Value("ping"));
    ASSERT_FALSE(drawing.ready()) << "echo " << i << " waited for the drawing";
  }
  EXPECT_LT(threadCpuSeconds() - main_thread_start, 0.1);
  expectRenderError(drawing.wait());
}

}  // namespace
}  // namespace pdf_pages::testing

namespace pdf_pages::testing {
namespace {

// The resident memory of this process's drawing workers, together; a worker ended and not yet
// reaped holds none.
size_t drawingWorkersResidentBytes() {
  size_t bytes = 0;
  const std::string parent = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string pid, name, state, ppid;
    if (!(stat >> pid >> name >> state >> ppid) || ppid != parent || name != "(pdf_drawing)") {
      continue;
    }
    std::ifstream status(entry.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmRSS:", 0) == 0) bytes += std::stoull(line.substr(6)) * 1024;
    }
  }
  return bytes;
}

// The live drawing workers of this process (an ended one not yet reaped is not counted).
std::vector<pid_t> liveDrawingWorkers() {
  std::vector<pid_t> pids;
  const std::string parent = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string pid, name, state, ppid;
    if (!(stat >> pid >> name >> state >> ppid) || ppid != parent || name != "(pdf_drawing)" ||
        state == "Z" || state == "X") {
      continue;
    }
    pids.push_back(static_cast<pid_t>(std::stol(pid)));
  }
  return pids;
}

// With the plug-in's own limits: a large page may take the sanitized worker longer than the
// tight test budget.
class IdleWorkerTest : public DrawingLimitsTest {
 protected:
  IdleWorkerTest() : DrawingLimitsTest(DrawingLimits{}) {}
};

TEST_F(IdleWorkerTest, AWorkerKeepsAtMost64MiBOnceEveryDocumentIsClosed) {
  // A page drawn as large as a kept bitmap may be, from a plain document: the worker keeps its
  // buffer and what drawing it left.
  ASSERT_EQ(load("plain", fourPageDocument()).value, Value("4"));
  ASSERT_TRUE(draw("plain", 4000, 4000).isSuccess());
  ASSERT_GT(drawingWorkersResidentBytes(), size_t{64} << 20);
  ASSERT_TRUE(dart.invokeMethod("pdf_pages", "closeDocument", Value("plain")).isSuccess());
  // The worker's end is reaped on a thread of its own.
  dispatch::testing::runUntil([] { return drawingWorkersResidentBytes() <= (size_t{64} << 20); },
                              std::chrono::seconds(10));
  EXPECT_LE(drawingWorkersResidentBytes(), size_t{64} << 20);
  // A later load starts a worker again.
  ASSERT_EQ(load("again", fourPageDocument()).value, Value("4"));
  EXPECT_TRUE(draw("again", 100, 100).isSuccess());
}

TEST_F(IdleWorkerTest, CallsAfterTheIdleWorkerWasKilledFromOutsideAreAnsweredByAFreshOne) {
  ASSERT_EQ(load("doc", fourPageDocument()).value, Value("4"));
  auto killIdleWorker = [&](bool waitForItsEnd) {
    auto workers = liveDrawingWorkers();
    ASSERT_EQ(workers.size(), 1u);
    ASSERT_EQ(::kill(workers[0], SIGKILL), 0);
    // Seen dead, not reaped: the host reaps its own workers.
    siginfo_t info{};
    if (waitForItsEnd) ::waitid(P_PID, static_cast<id_t>(workers[0]), &info, WEXITED | WNOWAIT);
  };
  // Killed just before the call, and dead before it (its end perhaps not yet seen by the host).
  for (int round = 0; round < 6; ++round) {
    ASSERT_NO_FATAL_FAILURE(killIdleWorker(round % 2 == 1));
    auto drawn = draw("doc", 153, 198);
    ASSERT_TRUE(drawn.isSuccess()) << "round " << round << ": " << drawn.describe();
    EXPECT_TRUE(
        near(pixelAt(*drawn.value.getIf<std::vector<uint8_t>>(), 153, 10, 188), {255, 0, 0, 255}));
  }
  // A load is read by a fresh worker too, and the document it replaces still draws until then.
  ASSERT_NO_FATAL_FAILURE(killIdleWorker(false));
  EXPECT_EQ(load("other", twoPageDocument()).value, Value("2"));
  ASSERT_NO_FATAL_FAILURE(killIdleWorker(true));
  EXPECT_EQ(load("third", twoPageDocument()).value, Value("2"));
}

// A worker killed from outside while it draws is not a page past its limits: the answer says what
// happened. The first kill sends the page once more to a fresh worker; every worker is killed until
// the page answers.
TEST_F(IdleWorkerTest, APageWhoseWorkersAreKilledWhileDrawingSaysSoAndNotThatALimitWasReached) {
  ASSERT_EQ(load("slow", timeBomb()).value, Value("1"));
  auto drawing = dart.invokeMethodAsync("pdf_pages", "getPage", page("slow", 1224, 1584));
  int kills = 0;
  for (; !drawing.ready() && kills < 20;) {
    dispatch::testing::runUntil([&] { return drawing.ready() || !liveDrawingWorkers().empty(); });
    for (pid_t worker : liveDrawingWorkers()) kills += ::kill(worker, SIGKILL) == 0;
    dispatch::testing::runUntil([&] { return drawing.ready(); }, std::chrono::milliseconds(100));
  }
  auto reply = drawing.wait(std::chrono::duration_cast<std::chrono::milliseconds>(kHangGuard));
  EXPECT_GE(kills, 2);
  expectRenderError(reply);
  const std::string message = reply.error.message.value_or("");
  EXPECT_EQ(message.find("limits"), std::string::npos) << message;
  EXPECT_NE(message.find("killed"), std::string::npos) << message;
  // The next drawing has a worker of its own.
  ASSERT_EQ(load("plain", fourPageDocument()).value, Value("4"));
  EXPECT_TRUE(draw("plain", 10, 10).isSuccess());
}

// What the host still closes in the background (an ended worker's descriptors, a drawing's
// buffer) would open a gap in an exhaustion taken meanwhile: wait until the count holds still.
void waitForSteadyDescriptors() {
  auto count = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator{});
  };
  auto last = count();
  for (int steady = 0, turns = 0; steady < 5 && turns < 300; ++turns) {
    dispatch::testing::runUntil([] { return false; }, std::chrono::milliseconds(10));
    const auto now = count();
    steady = now == last ? steady + 1 : 0;
    last = now;
  }
}

// The host out of descriptors is the host's failure: a drawing it cannot take in, or a worker it
// cannot start, answers why, the worker that drew is not blamed (nor ended), and the next call
// works once descriptors are to be had again.
TEST_F(IdleWorkerTest, CallsTheHostHasNoDescriptorForSaySoAndTheNextOnesWork) {
  ASSERT_EQ(load("doc", fourPageDocument()).value, Value("4"));
  ASSERT_TRUE(draw("doc", 50, 50).isSuccess());
  const auto workers = liveDrawingWorkers();
  ASSERT_EQ(workers.size(), 1u);
  auto expectShortage = [](const MethodReply& reply, const char* code) {
    ASSERT_TRUE(reply.isError()) << reply.describe();
    EXPECT_EQ(reply.error.code, code);
    const std::string message = reply.error.message.value_or("");
    EXPECT_NE(message.find("Too many open files"), std::string::npos) << message;
    EXPECT_EQ(message.find("not asked"), std::string::npos) << message;
  };
  MethodReply drawn;
  waitForSteadyDescriptors();
  {
    foundation::testing::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.active());
    drawn = draw("doc", 60, 60);
  }
  expectShortage(drawn, "PDF_BITMAP_FAILED");
  EXPECT_EQ(liveDrawingWorkers(), workers);
  auto again = draw("doc", 60, 60);
  ASSERT_TRUE(again.isSuccess()) << again.describe();
  EXPECT_TRUE(
      near(pixelAt(*again.value.getIf<std::vector<uint8_t>>(), 60, 5, 55), {255, 0, 0, 255}));
  EXPECT_EQ(liveDrawingWorkers(), workers);

  // Once every document is closed the worker ends; the next cannot start while no descriptor is
  // to be had, and says why.
  ASSERT_TRUE(dart.invokeMethod("pdf_pages", "closeDocument", Value("doc")).isSuccess());
  ASSERT_TRUE(dispatch::testing::runUntil([] { return liveDrawingWorkers().empty(); },
                                          std::chrono::seconds(10)));
  MethodReply loaded;
  waitForSteadyDescriptors();
  {
    foundation::testing::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.active());
    loaded = load("late", fourPageDocument());
  }
  expectShortage(loaded, "PDF_LOAD_FAILED");
  EXPECT_NE(loaded.error.message.value_or("").find("could not be started"), std::string::npos);
  EXPECT_EQ(load("late", fourPageDocument()).value, Value("4"));
}

}  // namespace
}  // namespace pdf_pages::testing
