// Trigger bindings read from a real "setting.ini" beside the test executable: which rows of the
// event table are bound for each TRIGGER value, when wheel forwarding joins the Wheel row, and
// what the hook's messages turn into once bound.

#include "input/TriggerBindings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "input/EventQueue.h"

namespace {

int forwarded = 0;
int32_t RecordForward(const MouseHookRecord&) {
    ++forwarded;
    return 0;
}
template <int N>
int32_t OtherHandler(const MouseHookRecord&) {
    static int calls;  // keeps the five instances distinct functions
    ++calls;
    return kPassOn;
}

struct Row {
    uint8_t code;
    EventHandler handler;
    uint16_t mask;
};

class TriggerBindingsTest : public ::testing::Test {
protected:
    SettingsFileSession session;

    void SetUp() override {
        ClearEventTable();
        ResetMouseState(500);
        forwarded = 0;
    }
    void TearDown() override { ClearEventTable(); }

    void WriteConfig(const std::string& lines) {
        ASSERT_TRUE(WriteFileBytes(session.path, "[CONFIG]\r\n" + lines));
    }

    // Every filled entry of the table, row by row.
    static std::vector<Row> Bound() {
        std::vector<Row> rows;
        for (uint8_t code = 0; code < kMouseEventCount; ++code) {
            for (const EventEntry& entry : eventTable[code]) {
                if (entry.handler != nullptr) {
                    rows.push_back(Row{code, entry.handler, entry.mask});
                }
            }
        }
        return rows;
    }
};

void ExpectRows(const std::vector<Row>& actual, const std::vector<Row>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actual[i].code, expected[i].code);
        EXPECT_EQ(actual[i].handler, expected[i].handler);
        EXPECT_EQ(actual[i].mask, expected[i].mask);
    }
}

TEST_F(TriggerBindingsTest, TriggerSettingChoosesTheButton) {
    // Rows in table order: second press, first press, release, and the Wheel row.
    const std::vector<Row> sideButton1 = {{Wheel, OnTriggerWheel, kHeldX1},
                                          {X1Double, OnTriggerDown, 0},
                                          {X1Down, OnTriggerDown, 0},
                                          {X1Up, OnTriggerUp, 0}};
    const std::vector<Row> sideButton2 = {{Wheel, OnTriggerWheel, kHeldX2},
                                          {X2Double, OnTriggerDown, 0},
                                          {X2Down, OnTriggerDown, 0},
                                          {X2Up, OnTriggerUp, 0}};
    const std::vector<Row> middle = {{MiddleDouble, OnTriggerDown, 0},
                                     {MiddleDown, OnTriggerDown, 0},
                                     {MiddleUp, OnTriggerUp, 0},
                                     {Wheel, OnTriggerWheel, kHeldMiddle}};
    struct Case {
        const char* file;  // null: no settings file at all
        const std::vector<Row>* rows;
    };
    const Case cases[] = {
        {"TRIGGER=0\r\n", &sideButton1}, {"TRIGGER=1\r\n", &sideButton2},   {"TRIGGER=2\r\n", &middle},
        {"TRIGGER=7\r\n", &sideButton1}, {"TRIGGER=two\r\n", &sideButton1}, {"TRIGGER=\r\n", &sideButton1},
        {"ALPHA=1\r\n", &sideButton1},   {nullptr, &sideButton1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file != nullptr ? c.file : "no file");
        ClearEventTable();
        RemoveFile(session.path);
        if (c.file != nullptr) {
            WriteConfig(c.file);
        }
        EXPECT_EQ(LoadTriggerBindings(RecordForward), 0);
        ExpectRows(Bound(), *c.rows);
    }
}

TEST_F(TriggerBindingsTest, WheelIsForwardedOnlyWhenSendWheelIsOne) {
    struct Case {
        const char* lines;
        bool forwarding;
    };
    const Case cases[] = {
        {"TRIGGER=1\r\nSENDWHEEL=1\r\n", true},
        {"SENDWHEEL=0x1\r\n", true},
        {"SENDWHEEL=2\r\n", false},
        {"SENDWHEEL=0\r\n", false},
        {"SENDWHEEL=yes\r\n", false},
        {"SENDWHEEL=1a\r\n", false},
        {"TRIGGER=1\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        ClearEventTable();
        WriteConfig(c.lines);
        EXPECT_EQ(LoadTriggerBindings(RecordForward), 0);
        // The ring menu's handler always comes first in the Wheel row; forwarding, with no held
        // button required, behind it.
        EXPECT_EQ(eventTable[Wheel][0].handler, OnTriggerWheel);
        if (c.forwarding) {
            EXPECT_EQ(eventTable[Wheel][1].handler, RecordForward);
            EXPECT_EQ(eventTable[Wheel][1].mask, 0);
        } else {
            EXPECT_EQ(eventTable[Wheel][1].handler, nullptr);
        }
    }
}

TEST_F(TriggerBindingsTest, FullRowIsLeftAsItIs) {
    WriteConfig("SENDWHEEL=1\r\n");
    // Five distinct handlers (the same one again would only have its mask replaced).
    const EventHandler others[kHandlersPerEvent] = {OtherHandler<0>, OtherHandler<1>, OtherHandler<2>,
                                                    OtherHandler<3>, OtherHandler<4>};
    for (EventHandler other : others) {
        ASSERT_EQ(RegisterEventHandler(Wheel, other, 0), 0);
    }
    EXPECT_EQ(LoadTriggerBindings(RecordForward), 0);
    EXPECT_EQ(eventTable[Wheel][0].handler, OtherHandler<0>);
    for (const EventEntry& entry : eventTable[Wheel]) {
        EXPECT_NE(entry.handler, OnTriggerWheel);
        EXPECT_NE(entry.handler, RecordForward);
    }
    EXPECT_EQ(eventTable[X1Down][0].handler, OnTriggerDown);
}

// Messages as the hook classifies them, with the default trigger and forwarding on.
class BoundTriggerTest : public TriggerBindingsTest {
protected:
    void SetUp() override {
        TriggerBindingsTest::SetUp();
        ASSERT_TRUE(CreateEventQueue(eventQueue));
    }
    void TearDown() override {
        DestroyEventQueue(eventQueue);
        TriggerBindingsTest::TearDown();
    }

    // The next queued message: type and payload, or type 0 when there is none.
    struct Queued {
        uint8_t type;
        uint8_t length;
        QueueWheel body;  // x, y (and delta for a wheel message)
    };
    static Queued Next() {
        uint8_t buffer[kQueueMessageSize];
        Queued queued = {};
        if (TakeQueueMessage(eventQueue, 0, buffer) == 0) {
            queued.type = buffer[1];
            queued.length = buffer[0];
            memcpy(&queued.body, buffer + 2, buffer[0] < sizeof queued.body ? buffer[0] : sizeof queued.body);
        }
        return queued;
    }
};

MouseHookRecord At(int32_t x, int32_t y, uint32_t mouseData = 0) {
    MouseHookRecord record = {};
    record.pt = {x, y};
    record.mouseData = mouseData;
    return record;
}

TEST_F(BoundTriggerTest, TriggerPressesReleasesAndWheelBecomeQueueMessages) {
    WriteConfig("SENDWHEEL=1\r\n");
    ASSERT_EQ(LoadTriggerBindings(RecordForward), 0);

    // Press, a quick second press, and the releases: all consumed, each press opens.
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, At(-1500, -20, kXButton1 << 16)), 0);
    Queued queued = Next();
    EXPECT_EQ(queued.type, MsgOpen);
    EXPECT_EQ(queued.length, 8);
    EXPECT_EQ(queued.body.x, -1500);
    EXPECT_EQ(queued.body.y, -20);

    // A wheel turn while the trigger is held goes to the menu, with its signed delta, and is not
    // forwarded.
    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, At(3, 4, 0xFF880000u)), 0);
    queued = Next();
    EXPECT_EQ(queued.type, MsgWheel);
    EXPECT_EQ(queued.length, 12);
    EXPECT_EQ(queued.body.x, 3);
    EXPECT_EQ(queued.body.delta, -120);
    EXPECT_EQ(forwarded, 0);

    EXPECT_EQ(HandleMouseMessage(kMsgXButtonUp, At(5, 6, kXButton1 << 16)), 0);
    EXPECT_EQ(Next().type, MsgRelease);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, At(5, 6, kXButton1 << 16)), 0);
    EXPECT_EQ(Next().type, MsgOpen);  // second press within the double-click time: opens too
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonUp, At(7, 8, kXButton1 << 16)), 0);
    queued = Next();
    EXPECT_EQ(queued.type, MsgRelease);
    EXPECT_EQ(queued.body.x, 7);
    EXPECT_EQ(queued.body.y, 8);

    // The hook set again after a gap: a trigger found down still takes the wheel; one found up
    // may have lost its release, so the menu is told to close.
    ResyncTrigger(kHeldX1 | kHeldLeft);
    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, At(3, 4, 120u << 16)), 0);
    EXPECT_EQ(Next().type, MsgWheel);
    ResyncTrigger(kHeldLeft);
    EXPECT_EQ(Next().type, MsgCancel);

    // Without the trigger the wheel is forwarded instead; other buttons pass untouched.
    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, At(3, 4, 120u << 16)), 0);
    EXPECT_EQ(forwarded, 1);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, At(0, 0, kXButton2 << 16)), kPassOn);
    EXPECT_EQ(HandleMouseMessage(kMsgMButtonDown, At(0, 0)), kPassOn);
    EXPECT_EQ(Next().type, 0);
}

TEST_F(BoundTriggerTest, MiddleTriggerWithoutForwardingPassesOtherWheelTurns) {
    WriteConfig("TRIGGER=2\r\nSENDWHEEL=2\r\n");
    ASSERT_EQ(LoadTriggerBindings(RecordForward), 0);
    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, At(0, 0, 120u << 16)), kPassOn);
    EXPECT_EQ(HandleMouseMessage(kMsgMButtonDown, At(9, 9)), 0);
    EXPECT_EQ(Next().type, MsgOpen);
    EXPECT_EQ(HandleMouseMessage(kMsgMouseWheel, At(9, 9, 120u << 16)), 0);
    EXPECT_EQ(Next().type, MsgWheel);
    EXPECT_EQ(HandleMouseMessage(kMsgMButtonUp, At(9, 9)), 0);
    EXPECT_EQ(Next().type, MsgRelease);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, At(0, 0, kXButton1 << 16)), kPassOn);
    EXPECT_EQ(forwarded, 0);
}

// A settings file unreadable at start leaves the default trigger bound; what the file says, read
// later, then takes its place: other handlers stay, and a menu the old trigger holds open closes.
TEST_F(BoundTriggerTest, TriggerReadLaterReplacesTheDefaults) {
    ASSERT_TRUE(std::filesystem::create_directory(session.path));  // a path no file can be read from
    ASSERT_EQ(RegisterEventHandler(X1Down, OtherHandler<0>, 0), 0);
    EXPECT_EQ(LoadTriggerBindings(RecordForward), 1);
    std::filesystem::remove(session.path);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, At(1, 1, kXButton1 << 16)), 0);
    EXPECT_EQ(Next().type, MsgOpen);

    BindTrigger(TriggerSettings{2, 1}, RecordForward);
    EXPECT_EQ(Next().type, MsgCancel);
    ExpectRows(Bound(), {{MiddleDouble, OnTriggerDown, 0},
                         {MiddleDown, OnTriggerDown, 0},
                         {MiddleUp, OnTriggerUp, 0},
                         {Wheel, OnTriggerWheel, kHeldMiddle},
                         {Wheel, RecordForward, 0},
                         {X1Down, OtherHandler<0>, 0}});
    BindTrigger(TriggerSettings{2, 1}, RecordForward);  // the same again: nothing held, nothing doubled
    EXPECT_EQ(Next().type, 0);
    EXPECT_EQ(Bound().size(), 6u);
}

// With no queue (the menu threads did not start) the trigger is still consumed, and nothing
// breaks.
TEST_F(TriggerBindingsTest, TriggerWithoutAQueueIsConsumedQuietly) {
    ASSERT_EQ(LoadTriggerBindings(RecordForward), 0);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonDown, At(1, 1, kXButton1 << 16)), 0);
    EXPECT_EQ(HandleMouseMessage(kMsgXButtonUp, At(1, 1, kXButton1 << 16)), 0);
}

}  // namespace
