// Renders run off the main thread, in the order of the calls around them: the main queue keeps
// serving while a page is drawn or a long answer encoded, and loads, closes and renders answer in
// the order sent.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <map>
#include <string>

#include "platform/coregraphics/cg_pdf_document.h"
#include "platform/coregraphics/testing/coregraphics_controls.h"
#include "platform/dispatch/dispatch.h"
#include "plugins/pdf_pages/page_rendering.h"
#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

namespace pdf_pages::testing {
namespace {

using coregraphics::testing::liveDocumentCount;
using flutter::Value;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;

// Large enough that drawing it takes far longer than posting a block.
constexpr int64_t kLargeWidth = 1530, kLargeHeight = 1980;

Value pageArguments(const std::string& id, int64_t index, int64_t width, int64_t height) {
  return Value(ValueMap{{Value("index"), Value(index)},
                        {Value("width"), Value(width)},
                        {Value("height"), Value(height)},
                        {Value("documentID"), Value(id)}});
}

Value bytesArguments(const std::string& id, const std::string& pdf) {
  return Value(
      ValueMap{{Value("documentBytes"), Value(std::vector<uint8_t>(pdf.begin(), pdf.end()))},
               {Value("documentID"), Value(id)}});
}

// The page drawn straight from the document, without the plug-in.
Bitmap drawnDirectly(const std::string& pdf, size_t pageNumber, BitmapSize size) {
  auto data =
      CFDataCreate(reinterpret_cast<const uint8_t*>(pdf.data()), static_cast<CFIndex>(pdf.size()));
  auto document = CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(data));
  Bitmap bitmap(size.byteCount());
  PixelRect dirty;  // none: fresh memory
  return drawPage(CGPDFDocumentGetPage(document, pageNumber), size, bitmap, dirty) ? bitmap
                                                                                   : Bitmap();
}

// CPU time the calling thread has used.
std::chrono::nanoseconds threadCpuTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

class RenderOrderTest : public PdfPagesTest {
 protected:
  TestDartSide::PendingCall send(const std::string& method, Value arguments) {
    return dart.invokeMethodAsync("pdf_pages", method, std::move(arguments));
  }

  // Pumps the main queue until every call is answered; the indices of `calls` in the order their
  // answers arrived (shorter when one never came).
  std::vector<size_t> answerOrder(const std::vector<TestDartSide::PendingCall>& calls) {
    std::vector<size_t> order;
    std::vector<bool> seen(calls.size(), false);
    auto collect = [&] {
      for (size_t i = 0; i < calls.size(); ++i) {
        if (!seen[i] && calls[i].ready()) {
          seen[i] = true;
          order.push_back(i);
        }
      }
      return order.size() == calls.size();
    };
    dart.runUntil(collect);
    return order;
  }
};

TEST_F(RenderOrderTest, TheMainQueueRunsWhileALargePageIsDrawnAndTheBitmapArrivesOnce) {
  const std::string pdf = fourPageDocument();
  ASSERT_TRUE(loadBytes("doc", pdf).isSuccess());

  auto render = send("getPage", pageArguments("doc", 1, kLargeWidth, kLargeHeight));
  bool ran = false;
  bool answered_before = true;
  dispatch_async(dispatch_get_main_queue(), [&] {
    answered_before = render.ready();
    ran = true;
  });
  ASSERT_TRUE(dart.runUntil([&] { return ran; }));
  EXPECT_FALSE(answered_before) << "the render held the main thread";

  MethodReply reply = render.wait();
  auto bitmap = bitmapOf(reply);
  ASSERT_EQ(bitmap.size(), size_t{kLargeWidth} * 4 * kLargeHeight);
  EXPECT_TRUE(bitmap == drawnDirectly(pdf, 1, {kLargeWidth, kLargeHeight}))
      << "the bytes differ from the page drawn directly";
  EXPECT_TRUE(near(pixelAt(bitmap, kLargeWidth, 20, kLargeHeight - 20), {255, 0, 0, 255}));
  dart.drain();  // a second answer would be reported as a channel fault
}

TEST_F(RenderOrderTest, RendersAndTilesSeeTheLoadsSentBeforeThemAndAnswerInOrder) {
  const std::vector<TestDartSide::PendingCall> calls = {
      send("initializePdfRenderer", bytesArguments("doc", fourPageDocument())),
      send("getPage", pageArguments("doc", 4, kLargeWidth, kLargeHeight)),
      send("getTileImage", Value(ValueMap{{Value("pageNumber"), Value(int32_t{4})},
                                          {Value("scale"), Value(1.0)},
                                          {Value("width"), Value(10.0)},
                                          {Value("height"), Value(10.0)},
                                          {Value("x"), Value(0.0)},
                                          {Value("y"), Value(0.0)},
                                          {Value("documentID"), Value("doc")}})),
      send("initializePdfRenderer", bytesArguments("doc", twoPageDocument())),
      send("getPage", pageArguments("doc", 4, 10, 10)),
      send("getPage", pageArguments("doc", 2, 10, 30)),
      send("getPagesWidth", Value("doc")),
  };
  EXPECT_EQ(answerOrder(calls), (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6}));

  EXPECT_EQ(calls[0].wait().value, Value("4"));
  EXPECT_EQ(bitmapOf(calls[1].wait()).size(), size_t{kLargeWidth} * 4 * kLargeHeight);
  EXPECT_EQ(bitmapOf(calls[2].wait()).size(), 10u * 4 * 10);
  EXPECT_EQ(calls[3].wait().value, Value("2"));
  EXPECT_EQ(calls[4].wait().error.code, "PDF_INVALID_PAGE") << calls[4].wait().describe();
  EXPECT_EQ(bitmapOf(calls[5].wait()).size(), 10u * 4 * 30);
  EXPECT_EQ(calls[6].wait().value, Value(flutter::ValueList{Value(200.0), Value(100.0)}));
}

TEST_F(RenderOrderTest, AClosingSentAfterRendersWaitsForThemAndLaterCallsFindNothing) {
  const std::string pdf = fourPageDocument();
  const size_t baseline = liveDocumentCount();
  ASSERT_TRUE(loadBytes("doc", pdf).isSuccess());

  const std::vector<TestDartSide::PendingCall> calls = {
      send("getPage", pageArguments("doc", 1, kLargeWidth, kLargeHeight)),
      send("getPage", pageArguments("doc", 2, 200, 300)),
      send("closeDocument", Value("doc")),
      send("getPage", pageArguments("doc", 1, 10, 10)),
      send("getPagesHeight", Value("doc")),
  };
  EXPECT_EQ(answerOrder(calls), (std::vector<size_t>{0, 1, 2, 3, 4}));

  auto large = bitmapOf(calls[0].wait());
  EXPECT_TRUE(large == drawnDirectly(pdf, 1, {kLargeWidth, kLargeHeight}));
  EXPECT_TRUE(bitmapOf(calls[1].wait()) == drawnDirectly(pdf, 2, {200, 300}));
  EXPECT_TRUE(calls[2].wait().isSuccess());
  EXPECT_EQ(calls[3].wait().error.code, "PDF_UNKNOWN_DOCUMENT") << calls[3].wait().describe();
  EXPECT_EQ(calls[4].wait().error.code, "PDF_UNKNOWN_DOCUMENT") << calls[4].wait().describe();
  EXPECT_EQ(liveDocumentCount(), baseline);
}

TEST_F(RenderOrderTest, RefusedCallsAnswerInTheirTurnToo) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  const std::vector<TestDartSide::PendingCall> calls = {
      send("getPage", pageArguments("doc", 1, kLargeWidth, kLargeHeight)),
      send("getPage", Value("not a map")),
      send("getPage", pageArguments("doc", 1, 0, 10)),
      send("getTileImage", Value(ValueMap{{Value("pageNumber"), Value(int32_t{1})}})),
      send("initializePdfRenderer", Value()),
      send("getPagesWidth", Value(int32_t{1})),
      send("closeDocument", Value()),
  };
  EXPECT_EQ(answerOrder(calls), (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(calls[0].wait().isSuccess());
  EXPECT_EQ(calls[2].wait().error.code, "PDF_INVALID_SIZE");
  for (size_t i : {1, 3, 4, 5, 6}) {
    EXPECT_EQ(calls[i].wait().error.code, "PDF_INVALID_ARGUMENTS") << i;
  }
}

TEST_F(RenderOrderTest, ALongListOfPageSizesIsEncodedOffTheMainThread) {
  constexpr int kPages = 50000;
  std::map<int, std::string> packed;
  std::string kids;
  for (int number = 3; number < 3 + kPages; ++number) {
    packed[number] = "<< /Type /Page /Parent 2 0 R >>";
    kids += std::to_string(number) + " 0 R ";
  }
  packed[2] = "<< /Type /Pages /MediaBox [0 0 100 50] /Kids [" + kids + "] /Count " +
              std::to_string(kPages) + " >>";
  const std::string pdf = handMadeDocument({{1, "<< /Type /Catalog /Pages 2 0 R >>"}}, packed);
  // Reading 50,000 pages takes the worker seconds of CPU time: more on a busy machine.
  ASSERT_EQ(send("initializePdfRenderer", bytesArguments("many", pdf))
                .wait(std::chrono::seconds(60))
                .value,
            Value(std::to_string(kPages)));

  const auto before = threadCpuTime();
  auto widths = send("getPagesWidth", Value("many"));
  ASSERT_TRUE(dart.runUntil([&] { return widths.ready(); }));
  const auto waiting = threadCpuTime() - before;
  const Value answer = widths.wait().value;
  ASSERT_NE(answer.asList(), nullptr);
  EXPECT_EQ(answer.asList()->size(), size_t{kPages});

  // What encoding that answer costs a thread: the main thread spent less than half of it.
  const auto encoding_start = threadCpuTime();
  FlutterStandardMethodCodec::sharedInstance()->encodeSuccessEnvelope(answer);
  const auto encoding = threadCpuTime() - encoding_start;
  EXPECT_LT(waiting, encoding / 2)
      << "waiting " << waiting.count() << " ns, encoding " << encoding.count() << " ns";
}

}  // namespace
}  // namespace pdf_pages::testing
