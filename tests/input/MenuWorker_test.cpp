// The menu worker's state machine, run on a real event queue against recording ring-menu
// operations: which messages take effect in which state, the wheel's direction, the tracking
// ticks while the menu is open, and the quit message.

#include "input/MenuWorker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace {

// What the worker called, in order, as text: "open 5,6", "select 1,2", "track", "next",
// "previous", "forget", "close", "prepare". Written by the worker only; read after it has ended.
std::vector<std::string> calls;
int32_t openResult = 0;

int32_t RecordOpen(int32_t x, int32_t y) {
    calls.push_back("open " + std::to_string(x) + "," + std::to_string(y));
    return openResult;
}
int32_t RecordSelect(int32_t x, int32_t y) {
    calls.push_back("select " + std::to_string(x) + "," + std::to_string(y));
    return 0;
}
void RecordTrack() {
    calls.push_back("track");
}
int32_t RecordNext() {
    calls.push_back("next");
    return 0;
}
int32_t RecordPrevious() {
    calls.push_back("previous");
    return 0;
}
void RecordForget() {
    calls.push_back("forget");
}
void RecordClose() {
    calls.push_back("close");
}
void RecordPrepare() {
    calls.push_back("prepare");
}

// Without the optional preparation: the worker must do without it.
const RingMenuOps kRecordingOps = {RecordOpen,     RecordSelect, RecordTrack, RecordNext,
                                   RecordPrevious, RecordForget, RecordClose, nullptr};

class MenuWorkerTest : public ::testing::Test {
protected:
    EventQueue queue = {};
    MenuWorker worker = {};

    void SetUp() override {
        ASSERT_TRUE(CreateEventQueue(queue));
        worker = MenuWorker{&queue, &kRecordingOps, 0};
        calls.clear();
        openResult = 0;
    }
    void TearDown() override { DestroyEventQueue(queue); }

    void Open(int32_t x, int32_t y) { PostPoint(MsgOpen, x, y); }
    void Release(int32_t x, int32_t y) { PostPoint(MsgRelease, x, y); }
    void Turn(int16_t delta) {
        const QueueWheel wheel = {1, 2, delta, {0xAB, 0xCD}};
        PostQueueMessage(queue, sizeof wheel, MsgWheel, &wheel);
    }
    void Quit() { PostQueueMessage(queue, 0, MsgQuit, nullptr); }
    void Cancel() { PostQueueMessage(queue, 0, MsgCancel, nullptr); }
    void PostPoint(uint8_t type, int32_t x, int32_t y) {
        const Point point = {x, y};
        PostQueueMessage(queue, sizeof point, type, &point);
    }

    // Runs the worker on this thread until the quit message; the menu is never open for long,
    // so no tracking tick falls in between (those are tested on a thread below).
    void RunToQuit() {
        Quit();
        RunMenuWorker(worker);
    }
};

using Calls = std::vector<std::string>;

TEST_F(MenuWorkerTest, MessagesThatDoNotFitTheStateAreTakenAndDropped) {
    // The menu is readied once, before any message already waiting is taken.
    RingMenuOps preparing = kRecordingOps;
    preparing.prepareRingMenu = RecordPrepare;
    worker.ops = &preparing;
    Release(1, 1);  // closed: nothing to select
    Turn(-120);     // closed: no page change
    Cancel();       // closed: nothing to close
    Open(10, 20);
    Open(30, 40);  // already open
    Release(50, 60);
    Release(70, 80);  // closed again
    // A release lost while no hook watched: closed, selecting nothing; the next press opens.
    Open(1, 2);
    Cancel();
    Open(3, 4);
    Release(5, 6);
    RunToQuit();
    EXPECT_EQ(calls, (Calls{"prepare", "open 10,20", "select 50,60", "open 1,2", "close", "open 3,4",
                            "select 5,6"}));
    EXPECT_EQ(worker.menuOpen, 0);
    uint8_t buffer[kQueueMessageSize];
    EXPECT_EQ(TakeQueueMessage(queue, 0, buffer), kQueueTimedOut);  // all of them were taken
}

TEST_F(MenuWorkerTest, FailedOpenStillWaitsForTheRelease) {
    openResult = -1;  // no page has an item
    Open(-5, -6);
    Release(7, 8);
    Open(9, 9);
    RunToQuit();
    EXPECT_EQ(calls, (Calls{"open -5,-6", "select 7,8", "open 9,9"}));
    EXPECT_EQ(worker.menuOpen, 1);
}

TEST_F(MenuWorkerTest, WheelTurnsPagesThenRedrawsAtOnce) {
    Open(0, 0);
    Turn(-120);
    Turn(120);
    Turn(0);  // no direction: previous
    Turn(-1);
    RunToQuit();
    EXPECT_EQ(calls, (Calls{"open 0,0", "next", "forget", "track", "previous", "forget", "track", "previous",
                            "forget", "track", "next", "forget", "track"}));
}

TEST_F(MenuWorkerTest, QuitBehindOtherMessagesEndsTheWorkerOnlyAfterThem) {
    Open(1, 1);
    Turn(120);
    Release(2, 2);
    Quit();
    Open(3, 3);  // behind the quit: never handled
    RunMenuWorker(worker);
    EXPECT_EQ(calls, (Calls{"open 1,1", "previous", "forget", "track", "select 2,2"}));
    uint8_t buffer[kQueueMessageSize];
    EXPECT_EQ(TakeQueueMessage(queue, 0, buffer), 0);
    EXPECT_EQ(buffer[1], MsgOpen);
}

TEST_F(MenuWorkerTest, QuitWhileOpenLeavesTheMenuAsItIs) {
    Open(1, 1);
    RunToQuit();
    EXPECT_EQ(calls, (Calls{"open 1,1"}));
    EXPECT_EQ(worker.menuOpen, 1);
}

TEST_F(MenuWorkerTest, UnknownTypesAndShortPayloadsAreIgnored) {
    const uint8_t four[4] = {1, 2, 3, 4};
    PostQueueMessage(queue, 4, MsgOpen, four);  // too short for a point
    PostQueueMessage(queue, 0, 9, nullptr);
    Open(5, 5);
    PostQueueMessage(queue, sizeof four, MsgWheel, four);
    PostQueueMessage(queue, sizeof four, MsgRelease, four);
    RunToQuit();
    EXPECT_EQ(calls, (Calls{"open 5,5"}));
}

// On its own thread, as in the program: while the menu is open the worker tracks the pointer
// every 16 ms without any message; once closed it sleeps without waking.
TEST_F(MenuWorkerTest, TracksWhileOpenAndSleepsWhileClosed) {
    PlatformThread* thread = PlatformStartThread(MenuWorkerThread, &worker);
    ASSERT_NE(thread, nullptr);
    Open(4, 4);
    PlatformSleepMs(200);
    Release(5, 5);
    PlatformSleepMs(150);
    Quit();
    PlatformJoinThread(thread);

    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), "open 4,4");
    EXPECT_EQ(calls.back(), "select 5,5");
    const size_t ticks = calls.size() - 2;
    for (size_t i = 1; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i], "track");
    }
    // 200 ms at one tick per 16 ms is about 12; allow for a slow or loaded machine.
    EXPECT_GE(ticks, 4u);
    EXPECT_LE(ticks, 30u);  // a worker that spun would make thousands
}

}  // namespace
