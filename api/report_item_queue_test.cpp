#include "api/report_item_queue.h"

#include "api/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "api/decoder_object.h"
#include "params/report_item.h"

namespace wendrake {
namespace {

const std::string kAllocFailed(Message(Diagnostic::kNodeAllocationFailed));
const std::string kOverflow(Message(Diagnostic::kQueueOverflow));

// An allocator that fails on call number gFailAt (counted from 1).
int gCalls = 0;
int gFailAt = 0;
void* FailingAllocate(size_t size) {
  return ++gCalls == gFailAt ? nullptr : std::malloc(size);
}

template <typename F>
std::string Printed(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

TEST(ReportItemQueueTest, FailedAllocationFreesEverythingAndFails) {
  // Whatever was allocated before the failure must be released: the
  // sanitizer build's leak check fails this test otherwise.
  for (int failAt : {1, 100, 200}) {
    gCalls = 0;
    gFailAt = failAt;
    ReportItemQueue queue;
    bool built = true;
    EXPECT_EQ(Printed([&] { built = queue.Build(FailingAllocate); }), kAllocFailed) << failAt;
    EXPECT_FALSE(built);
    EXPECT_EQ(gCalls, failAt);  // stops at the first failure
    EXPECT_EQ(queue.head(), nullptr);
    EXPECT_EQ(queue.count(), 0);
    EXPECT_EQ(queue.Take(), nullptr);

    // The object refuses to come into being as well.
    gCalls = 0;
    auto decoder = std::make_unique<DecoderObject>(WENDRAKE_MODULE_B101);
    EXPECT_EQ(Printed([&] { built = decoder->Init(FailingAllocate); }), kAllocFailed);
    EXPECT_FALSE(built);
  }
}

TEST(ReportItemQueueTest, BuildsAClosedRingOfFreshItems) {
  ReportItemQueue queue;
  ASSERT_TRUE(queue.Build());
  auto fresh = std::make_unique<ReportItem>();
  InitReportItem(fresh.get());
  const ListNode* node = queue.head();
  for (int i = 0; i < ReportItemQueue::kCapacity; ++i) {
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(std::memcmp(&node->item, fresh.get(), sizeof(ReportItem)), 0) << "node " << i;
    node = node->next;
  }
  EXPECT_EQ(node, queue.head());
}

class QueueTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(queue_.Build());
    InitReportItem(item_.get());
  }

  // Appends an item told apart by its message code.
  bool Append(uint32_t code) {
    item_->msgCode = code;
    const SlotRun everySlot[] = {{0, kParamCount}};
    return queue_.Append(*item_, everySlot);
  }

  uint32_t TakeCode() {
    const ListNode* node = queue_.Take();
    return node == nullptr ? 0 : node->item.msgCode;
  }

  ReportItemQueue queue_;
  std::unique_ptr<ReportItem> item_ = std::make_unique<ReportItem>();
};

TEST_F(QueueTest, TakesInAppendOrder) {
  EXPECT_EQ(queue_.Take(), nullptr);
  for (uint32_t code : {1u, 2u, 3u}) EXPECT_TRUE(Append(code));
  EXPECT_EQ(queue_.count(), 3);
  EXPECT_EQ(TakeCode(), 1u);
  EXPECT_EQ(queue_.count(), 2);
  EXPECT_TRUE(Append(4));
  for (uint32_t code : {2u, 3u, 4u}) EXPECT_EQ(TakeCode(), code);
  EXPECT_EQ(queue_.Take(), nullptr);
  EXPECT_EQ(queue_.count(), 0);
}

TEST_F(QueueTest, FullQueueRefusesAndKeepsItsOrder) {
  ASSERT_TRUE(Append(1000));
  ASSERT_EQ(TakeCode(), 1000u);  // the ring no longer starts at head
  for (uint32_t code = 1; code <= 200; ++code) ASSERT_TRUE(Append(code));
  EXPECT_EQ(Printed([&] {
              EXPECT_FALSE(Append(201));
              EXPECT_FALSE(Append(202));
            }),
            kOverflow + kOverflow);
  EXPECT_EQ(queue_.count(), 200);
  for (uint32_t code = 1; code <= 200; ++code) ASSERT_EQ(TakeCode(), code);
  EXPECT_EQ(queue_.Take(), nullptr);
}

TEST_F(QueueTest, EmptyDiscardsQueuedItemsForGood) {
  for (uint32_t code : {1u, 2u, 3u}) Append(code);
  EXPECT_EQ(TakeCode(), 1u);
  queue_.Empty();
  EXPECT_EQ(queue_.count(), 0);
  EXPECT_EQ(queue_.Take(), nullptr);
  Append(9);
  EXPECT_EQ(TakeCode(), 9u);
  EXPECT_EQ(queue_.Take(), nullptr);
}

TEST_F(QueueTest, AppendCopiesTheItemAndClearsEarlierText) {
  // A long text in the first node, then enough items to come round to it.
  item_->textLength = 3000;
  std::memset(item_->text, 'a', 3000);
  item_->rawLength = 4;
  std::memcpy(item_->raw, "DM\t\n", 4);
  item_->curParamCount = 1;
  item_->curParamList[0] = 0;  // slot 0, which the "Rxagc" column feeds
  item_->paramSlots[0].state = 1;
  item_->paramSlots[0].value = -42;
  ASSERT_TRUE(Append(1));
  const ListNode* first = queue_.Take();
  EXPECT_EQ(std::memcmp(first->item.text, item_->text, 3000), 0);
  EXPECT_EQ(first->item.text[3000], 0);  // a fresh node's 0xFF are cleared
  EXPECT_EQ(std::memcmp(first->item.raw, "DM\t\n", 4), 0);
  EXPECT_EQ(first->item.curParamCount, 1);
  EXPECT_EQ(first->item.curParamList[0], 0);
  EXPECT_EQ(first->item.paramSlots[0].state, 1);
  EXPECT_EQ(first->item.paramSlots[0].value, -42);

  item_->textLength = 10;
  std::memset(item_->text + 10, 0, 3000 - 10);
  for (uint32_t code = 2; code <= 201; ++code) {
    ASSERT_TRUE(Append(code));
    queue_.Take();
  }
  ASSERT_EQ(first->item.msgCode, 201u);  // same node, new item
  EXPECT_EQ(first->item.textLength, 10u);
  for (size_t b = 10; b < WENDRAKE_BLOCK_SIZE; ++b) ASSERT_EQ(first->item.text[b], 0) << b;
}

}  // namespace
}  // namespace wendrake
