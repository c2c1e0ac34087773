#include "input/MouseEvents.h"

#include <gtest/gtest.h>

#include "platform/Platform.h"

#include <vector>

namespace {

// Handlers record the order they ran in and answer what the test tells them to.
std::vector<int> calls;
int32_t answerA = kPassOn;
int32_t answerB = kPassOn;
int32_t HandlerA(const MouseHookRecord&) {
    calls.push_back(1);
    return answerA;
}
int32_t HandlerB(const MouseHookRecord&) {
    calls.push_back(2);
    return answerB;
}
int32_t HandlerC(const MouseHookRecord&) {
    calls.push_back(3);
    return kPassOn;
}
int32_t HandlerD(const MouseHookRecord&) { return kPassOn; }
int32_t HandlerE(const MouseHookRecord&) { return kPassOn; }
int32_t HandlerF(const MouseHookRecord&) { return kPassOn; }

MouseHookRecord Record(uint32_t mouseData = 0, uintptr_t extra = 0) {
    MouseHookRecord record = {};
    record.pt = {10, 20};
    record.mouseData = mouseData;
    record.dwExtraInfo = extra;
    return record;
}

MouseHookRecord XRecord(uint16_t buttons, uintptr_t extra = 0) {
    return Record(static_cast<uint32_t>(buttons) << 16, extra);
}

class MouseEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearEventTable();
        ResetMouseState(500);
        calls.clear();
        answerA = answerB = kPassOn;
    }
};

TEST_F(MouseEventsTest, SecondPressBoundaryIsInclusive) {
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 10000), kFirstPress);
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 10500), kSecondPress);  // exactly the double-click time
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 11001), kFirstPress);   // one millisecond more
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 11001), kSecondPress);  // same instant
    // A quick triple press: each press is compared with the one just before it.
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 11300), kSecondPress);
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 11600), kSecondPress);
}

TEST_F(MouseEventsTest, PressSoonAfterStartCountsAsSecond) {
    // Press times start at zero, so the very first press within the double-click time is a second.
    EXPECT_EQ(ClassifyPressAt(kPressX1, 499), kSecondPress);
    ResetMouseState(500);
    EXPECT_EQ(ClassifyPressAt(kPressX1, 501), kFirstPress);
}

TEST_F(MouseEventsTest, ButtonsKeepSeparatePressTimes) {
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 5000), kFirstPress);
    EXPECT_EQ(ClassifyPressAt(kPressRight, 5100), kFirstPress);
    EXPECT_EQ(ClassifyPressAt(kPressLeft, 5400), kSecondPress);
    EXPECT_EQ(ClassifyPressAt(kPressMiddle, 5450), kFirstPress);
}

TEST_F(MouseEventsTest, ClassifiesEveryMessageAndKeepsTheHeldMask) {
    struct Case {
        uint32_t message;
        uint16_t xButtons;
        uint8_t code;
        uint16_t heldAfter;
    };
    // Each button pressed once: all first presses. The held mask accumulates as buttons go down
    // and empties as they come up.
    ResetMouseState(0);
    const Case cases[] = {
        {kMsgMouseMove, 0, MouseMove, 0},
        {kMsgLButtonDown, 0, LeftDown, kHeldLeft},
        {kMsgMButtonDown, 0, MiddleDown, kHeldLeft | kHeldMiddle},
        {kMsgRButtonDown, 0, RightDown, kHeldLeft | kHeldMiddle | kHeldRight},
        {kMsgXButtonDown, kXButton1, X1Down, kHeldLeft | kHeldMiddle | kHeldRight | kHeldX1},
        {kMsgXButtonDown, kXButton2, X2Down, 0x1F},
        {kMsgMouseWheel, 0, Wheel, 0x1F},
        {0x203, 0, NoEvent, 0x1F},  // the system's own double-click messages are not used
        {0x206, 0, NoEvent, 0x1F},
        {0x209, 0, NoEvent, 0x1F},
        {0x20E, 0, NoEvent, 0x1F},  // horizontal wheel
        {kMsgLButtonUp, 0, LeftUp, 0x1E},
        {kMsgMButtonUp, 0, MiddleUp, 0x1C},
        {kMsgRButtonUp, 0, RightUp, 0x18},
        {kMsgXButtonUp, kXButton1, X1Up, kHeldX2},
        {kMsgXButtonUp, kXButton2, X2Up, 0},
        {kMsgXButtonDown, 0, NoEvent, 0},  // an X message naming no button
    };
    // With a zero double-click time a press is "second" only at the very millisecond of the
    // previous press of its button (0 at start), so let the clock leave zero first.
    while (PlatformClockMs() == 0) {
    }
    for (const Case& c : cases) {
        uint8_t code = ClassifyMouseMessage(c.message, XRecord(c.xButtons));
        EXPECT_EQ(code, c.code) << "message 0x" << std::hex << c.message;
        EXPECT_EQ(heldButtons, c.heldAfter) << "message 0x" << std::hex << c.message;
    }
}

// Left-handed users swap the buttons: a physical left is the logical right, and the middle and
// side buttons keep their meaning.
TEST(ButtonSwapTest, SwapExchangesOnlyLeftAndRight) {
    const uint16_t kOthers = kHeldMiddle | kHeldX1 | kHeldX2;
    EXPECT_EQ(SwapLeftAndRight(kHeldLeft | kHeldX2, true), kHeldRight | kHeldX2);
    EXPECT_EQ(SwapLeftAndRight(kHeldRight | kHeldMiddle, true), kHeldLeft | kHeldMiddle);
    EXPECT_EQ(SwapLeftAndRight(kHeldLeft | kHeldRight, true), kHeldLeft | kHeldRight);
    EXPECT_EQ(SwapLeftAndRight(kOthers, true), kOthers);
    EXPECT_EQ(SwapLeftAndRight(kHeldLeft | kOthers, false), kHeldLeft | kOthers);
}

TEST_F(MouseEventsTest, SecondPressCodesPrecedeFirstPressCodes) {
    ResetMouseState(0xFFFFFFFFu);  // every press counts as a second press
    EXPECT_EQ(ClassifyMouseMessage(kMsgLButtonDown, Record()), LeftDouble);
    EXPECT_EQ(ClassifyMouseMessage(kMsgRButtonDown, Record()), RightDouble);
    EXPECT_EQ(ClassifyMouseMessage(kMsgMButtonDown, Record()), MiddleDouble);
    EXPECT_EQ(ClassifyMouseMessage(kMsgXButtonDown, XRecord(kXButton1)), X1Double);
    EXPECT_EQ(ClassifyMouseMessage(kMsgXButtonDown, XRecord(kXButton2)), X2Double);
}

TEST_F(MouseEventsTest, BothXButtonsInOneMessage) {
    ResetMouseState(0xFFFFFFFFu);
    EXPECT_EQ(ClassifyMouseMessage(kMsgXButtonDown, XRecord(kXButton1 | kXButton2)), X2Double);
    EXPECT_EQ(heldButtons, kHeldX1 | kHeldX2);
    EXPECT_EQ(ClassifyMouseMessage(kMsgXButtonUp, XRecord(kXButton1 | kXButton2)), X2Up);
    EXPECT_EQ(heldButtons, 0);
}

TEST_F(MouseEventsTest, ReleasesDoNotTouchThePressClock) {
    lastPressTime[kPressLeft] = 1234;
    lastPressTime[kPressX1] = 5678;
    ClassifyMouseMessage(kMsgLButtonUp, Record());
    ClassifyMouseMessage(kMsgXButtonUp, XRecord(kXButton1));
    ClassifyMouseMessage(kMsgMouseMove, Record());
    EXPECT_EQ(lastPressTime[kPressLeft], 1234u);
    EXPECT_EQ(lastPressTime[kPressX1], 5678u);
}

TEST_F(MouseEventsTest, RegisteringAgainOnlyReplacesTheMask) {
    ASSERT_EQ(RegisterEventHandler(Wheel, HandlerA, kHeldX1), 0);
    ASSERT_EQ(RegisterEventHandler(Wheel, HandlerB, 0), 0);
    ASSERT_EQ(RegisterEventHandler(Wheel, HandlerA, kHeldMiddle), 0);
    EXPECT_EQ(eventTable[Wheel][0].handler, HandlerA);
    EXPECT_EQ(eventTable[Wheel][0].mask, kHeldMiddle);
    EXPECT_EQ(eventTable[Wheel][1].handler, HandlerB);
    EXPECT_EQ(eventTable[Wheel][2].handler, nullptr);
}

TEST_F(MouseEventsTest, FullRowAndUnknownCodesAreRefused) {
    EventHandler handlers[] = {HandlerA, HandlerB, HandlerC, HandlerD, HandlerE};
    for (EventHandler h : handlers) {
        ASSERT_EQ(RegisterEventHandler(X1Down, h, 0), 0);
    }
    EXPECT_EQ(RegisterEventHandler(X1Down, HandlerF, 0), -1);
    for (int i = 0; i < kHandlersPerEvent; ++i) {
        EXPECT_EQ(eventTable[X1Down][i].handler, handlers[i]);
    }
    // A handler already in a full row can still have its mask replaced.
    EXPECT_EQ(RegisterEventHandler(X1Down, HandlerC, kHeldX2), 0);
    EXPECT_EQ(eventTable[X1Down][2].mask, kHeldX2);

    EXPECT_EQ(RegisterEventHandler(17, HandlerA, 0), -1);
    EXPECT_EQ(RegisterEventHandler(NoEvent, HandlerA, 0), -1);
}

TEST_F(MouseEventsTest, DispatchRunsEntriesInOrderUntilOneConsumes) {
    RegisterEventHandler(X1Down, HandlerA, 0);
    RegisterEventHandler(X1Down, HandlerB, 0);
    RegisterEventHandler(X1Down, HandlerC, 0);
    EXPECT_EQ(DispatchMouseEvent(X1Down, Record()), kPassOn);
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 3}));

    calls.clear();
    answerB = 7;  // any value other than 2 consumes, and is what the dispatch answers
    EXPECT_EQ(DispatchMouseEvent(X1Down, Record()), 7);
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    calls.clear();
    answerA = 0;
    EXPECT_EQ(DispatchMouseEvent(X1Down, Record()), 0);
    EXPECT_EQ(calls, (std::vector<int>{1}));
}

TEST_F(MouseEventsTest, DispatchStopsAtTheFirstEmptyEntry) {
    RegisterEventHandler(Wheel, HandlerA, 0);
    eventTable[Wheel][2] = EventEntry{0, HandlerB};  // behind a hole: never reached
    EXPECT_EQ(DispatchMouseEvent(Wheel, Record()), kPassOn);
    EXPECT_EQ(calls, (std::vector<int>{1}));
}

TEST_F(MouseEventsTest, MaskedEntriesRunOnlyWhileTheirButtonsAreHeld) {
    answerA = 0;
    answerB = 0;
    RegisterEventHandler(Wheel, HandlerA, kHeldX1);
    RegisterEventHandler(Wheel, HandlerB, 0);

    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, Record(120u << 16)), 0);
    EXPECT_EQ(calls, (std::vector<int>{2}));  // trigger not held: skipped, the next entry runs

    calls.clear();
    HandleMouseMessage(kMsgXButtonDown, XRecord(kXButton1));
    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, Record(120u << 16)), 0);
    EXPECT_EQ(calls, (std::vector<int>{1}));

    calls.clear();
    HandleMouseMessage(kMsgXButtonUp, XRecord(kXButton1));
    HandleMouseMessage(kMsgMouseWheel, Record(120u << 16));
    EXPECT_EQ(calls, (std::vector<int>{2}));
}

TEST_F(MouseEventsTest, PassThroughInputReachesNoHandlerButUpdatesState) {
    answerA = 0;
    RegisterEventHandler(X1Down, HandlerA, 0);
    RegisterEventHandler(X1Double, HandlerA, 0);
    RegisterEventHandler(X1Up, HandlerA, 0);
    lastPressTime[kPressX1] = 42;

    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, XRecord(kXButton1, PassThroughMarker)), kPassOn);
    EXPECT_EQ(heldButtons, kHeldX1);
    EXPECT_NE(lastPressTime[kPressX1], 42u);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonUp, XRecord(kXButton1, PassThroughMarker)), kPassOn);
    EXPECT_EQ(heldButtons, 0);
    EXPECT_TRUE(calls.empty());

    // The same input without the marker is consumed.
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, XRecord(kXButton1, 0xFE41A7C3)), 0);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(MouseEventsTest, UnboundAndUnknownEventsPassOn) {
    EXPECT_EQ(HandleMouseMessage(kMsgMouseMove, Record()), kPassOn);
    EXPECT_EQ(HandleMouseMessage(0x20E, Record()), kPassOn);
    EXPECT_EQ(DispatchMouseEvent(17, Record()), kPassOn);
    EXPECT_EQ(DispatchMouseEvent(NoEvent, Record()), kPassOn);
}

TEST(MouseClockTest, RealClockPressRightAfterStartIsSecond) {
    // Within the double-click time of the process start, the first press of a button is taken
    // for a second press: the product's real clock counts from the start of the process.
    ResetMouseState(60000);
    EXPECT_EQ(ClassifyPress(kPressMiddle), kSecondPress);
}

}  // namespace
