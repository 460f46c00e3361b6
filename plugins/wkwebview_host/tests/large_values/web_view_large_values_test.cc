// A page's large message body and a large evaluation result cross the main thread once: the
// main thread allocates one encoded copy of each and no more. Counted by the process's own
// accounting (the allocation meter), not by timings.
#include <gtest/gtest.h>

#include "platform/flutter/testing/allocation_meter.h"
#include "plugins/wkwebview_host/tests/web_view_test_support.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::testing::AllocationMeter;

constexpr size_t kMiB = size_t{1} << 20;
// What the main thread may allocate besides the one encoded copy: the buffer's room after a
// large write, and the channels' own small records.
constexpr size_t kSmallAllowance = kMiB;

class WebViewLargeValuesTest : public WebViewTest {
 protected:
  void SetUp() override {
    if (!AllocationMeter::isCounting()) GTEST_SKIP() << "operator new is not counted here";
    webkit::testing::WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(60));
  }

  flutter::testing::TestDartSide::PendingBinary evaluateLater(const std::string& script) {
    return dart.sendBinary(channelName("NSViewWKWebView", "evaluateJavaScript"),
                           dartSideCodec()->encode(ValueList{ref(kWebView), Value(script)}));
  }
};

TEST_F(WebViewLargeValuesTest, APostedBodyIsEncodedOnceOnTheMainThreadAndNeverCopied) {
  constexpr int64_t kController = 30, kHandler = 31;
  constexpr size_t kBody = 20 * kMiB;
  instances().registerDartObject(webView->configuration()->userContentController(), kController);
  ASSERT_EQ(call("WKScriptMessageHandler", "pigeon_defaultConstructor", {id(kHandler)}), ok());
  ASSERT_EQ(call("WKUserContentController", "addScriptMessageHandler",
                 {ref(kController), ref(kHandler), Value("bridge")}),
            ok());
  answerDartCalls("WKScriptMessageHandler.didReceiveScriptMessage");
  for (const char* body : {"'x'.repeat(20 << 20)", "['x'.repeat(20 << 20), 1]",
                           "{big: 'x'.repeat(20 << 20), after: 1}"}) {
    SCOPED_TRACE(body);
    received->clear();
    AllocationMeter meter;
    auto pending = evaluateLater(std::string("window.webkit.messageHandlers.bridge.postMessage(") +
                                 body + "); 'posted'");
    ASSERT_TRUE(dart.runUntil(
        [&] {
          return pending.ready() &&
                 !receivedOn("WKScriptMessageHandler.didReceiveScriptMessage").empty();
        },
        std::chrono::seconds(60)));
    const size_t allocated = meter.bytesAllocatedByThisThread();
    EXPECT_LE(allocated, kBody + kSmallAllowance);
    auto announced = receivedOn("WKScriptMessage.pigeon_newInstance");
    ASSERT_EQ(announced.size(), 1u);
    const auto& fields = *announced[0].message.asList();
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[1], Value("bridge"));
    const Value* text = fields[2].asString() != nullptr ? &fields[2]
                        : fields[2].asList() != nullptr ? &fields[2].asList()->at(0)
                                                        : fields[2].find("big");
    ASSERT_NE(text, nullptr) << fields[2].debugString().substr(0, 200);
    EXPECT_EQ(text->asString()->size(), kBody);
    instances().dropStrongReference(*fields[0].asInteger());
    dart.drain();
  }
}

TEST_F(WebViewLargeValuesTest, AnEvaluationResultBuiltOffTheMainThreadIsOnlyEncodedOnIt) {
  constexpr size_t kResult = 30 * kMiB;
  AllocationMeter meter;
  auto pending = evaluateLater("'x'.repeat(30 << 20)");
  ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }, std::chrono::seconds(60)));
  EXPECT_LE(meter.bytesAllocatedByThisThread(), kResult + kSmallAllowance);
  auto reply = pending.wait();
  ASSERT_TRUE(reply.has_value());
  auto result = dartSideCodec()->decode(*reply);
  ASSERT_TRUE(result.asList() != nullptr && result.asList()->size() == 1)
      << result.debugString().substr(0, 200);
  EXPECT_EQ(result.asList()->at(0).asString()->size(), kResult);
}

}  // namespace
}  // namespace wkwebview_host::testing
