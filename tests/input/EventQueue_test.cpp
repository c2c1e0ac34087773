// The event queue: layout and wrap, overflow (the oldest unread messages go, never a part of one),
// refusal of payloads the reader cannot take, and a producer and a consumer on two threads.

#include "input/EventQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace {

// A message as the reader received it.
struct Taken {
    uint8_t length;
    uint8_t type;
    std::vector<uint8_t> payload;
};

// Payload of `length` bytes (at least 4) that names its sequence number and can be checked whole.
std::vector<uint8_t> NumberedPayload(uint32_t sequence, uint8_t length) {
    std::vector<uint8_t> bytes(length);
    memcpy(bytes.data(), &sequence, sizeof sequence);
    for (size_t i = sizeof sequence; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(sequence * 7 + i);
    }
    return bytes;
}

// The sequence number of a numbered payload, or -1 when any byte of it is not what was posted.
int64_t CheckNumbered(const Taken& taken) {
    if (taken.payload.size() < sizeof(uint32_t) || taken.payload.size() != taken.length) {
        return -1;
    }
    uint32_t sequence;
    memcpy(&sequence, taken.payload.data(), sizeof sequence);
    return NumberedPayload(sequence, taken.length) == taken.payload ? sequence : -1;
}

// The length and type a numbered message of this sequence number is posted with.
uint8_t LengthFor(uint32_t sequence) {
    return static_cast<uint8_t>(4 + sequence % 13);
}
uint8_t TypeFor(uint32_t sequence) {
    return static_cast<uint8_t>(2 + sequence % 3);
}

int32_t PostNumbered(EventQueue& queue, uint32_t sequence) {
    const std::vector<uint8_t> payload = NumberedPayload(sequence, LengthFor(sequence));
    return PostQueueMessage(queue, LengthFor(sequence), TypeFor(sequence), payload.data());
}

class EventQueueTest : public ::testing::Test {
protected:
    EventQueue queue = {};

    void SetUp() override { ASSERT_TRUE(CreateEventQueue(queue)); }
    void TearDown() override { DestroyEventQueue(queue); }

    int32_t PostPoint(uint8_t type, int32_t x, int32_t y) {
        const Point point = {x, y};
        return PostQueueMessage(queue, sizeof point, type, &point);
    }

    // Everything the reader can take now, until a take times out.
    std::vector<Taken> Drain(uint32_t timeoutMs = 0) {
        std::vector<Taken> all;
        uint8_t buffer[kQueueMessageSize];
        int32_t result;
        while ((result = TakeQueueMessage(queue, timeoutMs, buffer)) == 0) {
            all.push_back(
                Taken{buffer[0], buffer[1], std::vector<uint8_t>(buffer + 2, buffer + 2 + buffer[0])});
        }
        EXPECT_EQ(result, kQueueTimedOut);
        return all;
    }
};

Point PointOf(const Taken& taken) {
    Point point;
    memcpy(&point, taken.payload.data(), sizeof point);
    return point;
}

TEST_F(EventQueueTest, MessagesComeBackWholeAndInOrderAcrossTheWrapAt240) {
    // 10-byte messages: the 24th starts at 230 and ends at 240, where the position restarts.
    for (int32_t i = 0; i < 24; ++i) {
        ASSERT_EQ(PostPoint(MsgOpen, i, -i), 0);
        EXPECT_EQ(queue.writePos, i == 23 ? 0 : (i + 1) * 10);
        const std::vector<Taken> one = Drain();
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(queue.readPos, queue.writePos);
        EXPECT_EQ(one[0].length, 8);
        EXPECT_EQ(one[0].type, MsgOpen);
        EXPECT_EQ(PointOf(one[0]).x, i);
        EXPECT_EQ(PointOf(one[0]).y, -i);
    }
    // A wheel message keeps its signed delta.
    const QueueWheel wheel = {-3, 4, -120, {0, 0}};
    ASSERT_EQ(PostQueueMessage(queue, sizeof wheel, MsgWheel, &wheel), 0);
    std::vector<Taken> taken = Drain();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].type, MsgWheel);
    QueueWheel back;
    memcpy(&back, taken[0].payload.data(), sizeof back);
    EXPECT_EQ(back.x, -3);
    EXPECT_EQ(back.y, 4);
    EXPECT_EQ(back.delta, -120);
}

TEST_F(EventQueueTest, LargestPayloadAtTheLastStartPositionStaysWhole) {
    // 13 messages of 18 bytes and one of 5 put the next message at 239, the last start position;
    // a 16-byte payload there reaches the ring's last byte.
    uint32_t sequence = 0;
    for (int i = 0; i < 13; ++i) {
        const std::vector<uint8_t> payload = NumberedPayload(sequence++, kQueueMaxPayload);
        ASSERT_EQ(PostQueueMessage(queue, kQueueMaxPayload, MsgOpen, payload.data()), 0);
    }
    const uint8_t three[3] = {1, 2, 3};
    ASSERT_EQ(PostQueueMessage(queue, 3, MsgOpen, three), 0);
    ASSERT_EQ(queue.writePos, 239);
    const std::vector<uint8_t> last = NumberedPayload(99, kQueueMaxPayload);
    ASSERT_EQ(PostQueueMessage(queue, kQueueMaxPayload, MsgRelease, last.data()), 0);
    EXPECT_EQ(queue.writePos, 0);

    std::vector<Taken> taken = Drain();
    ASSERT_EQ(taken.size(), 15u);
    EXPECT_EQ(taken[13].payload, std::vector<uint8_t>(three, three + 3));
    EXPECT_EQ(taken[14].type, MsgRelease);
    EXPECT_EQ(CheckNumbered(taken[14]), 99);
    for (uint32_t i = 0; i < 13; ++i) {
        EXPECT_EQ(CheckNumbered(taken[i]), i);
    }
}

TEST_F(EventQueueTest, QuitBehindOtherMessagesComesAfterThem) {
    PostPoint(MsgOpen, 1, 1);
    const QueueWheel wheel = {2, 2, 120, {0, 0}};
    PostQueueMessage(queue, sizeof wheel, MsgWheel, &wheel);
    PostPoint(MsgRelease, 3, 3);
    ASSERT_EQ(PostQueueMessage(queue, 0, MsgQuit, nullptr), 0);
    std::vector<uint8_t> types;
    for (const Taken& taken : Drain()) {
        types.push_back(taken.type);
        EXPECT_EQ(taken.length == 0, taken.type == MsgQuit);  // only the quit carries nothing
    }
    EXPECT_EQ(types, (std::vector<uint8_t>{MsgOpen, MsgWheel, MsgRelease, MsgQuit}));
}

TEST_F(EventQueueTest, PayloadLongerThanTheReaderTakesIsNeverDelivered) {
    PostPoint(MsgOpen, 1, 0);
    uint8_t big[40] = {};
    EXPECT_EQ(PostQueueMessage(queue, kQueueMaxPayload + 1, MsgOpen, big), -1);
    EXPECT_EQ(PostQueueMessage(queue, 40, MsgOpen, big), -1);
    PostPoint(MsgRelease, 2, 0);
    std::vector<Taken> taken = Drain();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(PointOf(taken[0]).x, 1);
    EXPECT_EQ(PointOf(taken[1]).x, 2);
}

TEST_F(EventQueueTest, NothingCanBePostedOrTakenWithoutTheQueue) {
    EventQueue absent = {};
    EXPECT_EQ(PostQueueMessage(absent, 0, MsgQuit, nullptr), -1);
    EXPECT_EQ(PostQueueMessage(queue, 8, MsgOpen, nullptr), -1);  // a payload was promised
    EXPECT_TRUE(Drain().empty());
}

TEST_F(EventQueueTest, EmptyQueueTimesOutAfterItsWait) {
    uint8_t buffer[kQueueMessageSize];
    const uint32_t start = PlatformClockMs();
    EXPECT_EQ(TakeQueueMessage(queue, 30, buffer), kQueueTimedOut);
    EXPECT_GE(PlatformClockMs() - start, 25u);
}

// Overflow while the reader stalls, with readPos ahead of writePos: the new messages push out the
// oldest ones, and the counts of those dropped give no message.
TEST_F(EventQueueTest, OverflowDropsTheOldestUnreadMessagesWhole) {
    for (int32_t i = 0; i < 30; ++i) {
        PostPoint(MsgOpen, i, 0);
    }
    // 24 messages of 10 bytes fill the 240 usable bytes; the six oldest were dropped.
    std::vector<Taken> taken = Drain();
    ASSERT_EQ(taken.size(), 24u);
    for (int32_t i = 0; i < 24; ++i) {
        EXPECT_EQ(PointOf(taken[i]).x, i + 6);
        EXPECT_EQ(taken[i].length, 8);
    }
    // Six counts were left over; the reader passes them and finds nothing.
    uint8_t buffer[kQueueMessageSize];
    EXPECT_EQ(TakeQueueMessage(queue, 20, buffer), kQueueTimedOut);
    // The queue goes on normally.
    PostPoint(MsgRelease, 77, 0);
    taken = Drain();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(PointOf(taken[0]).x, 77);
}

// writePos wraps round and lands exactly on readPos with every byte unread: the next message must
// push out the oldest one, not write over it.
TEST_F(EventQueueTest, WriterWrappingOntoTheReaderDropsRatherThanOverwrites) {
    for (int start : {0, 30}) {
        SCOPED_TRACE(start);
        // Put the reader (and the writer) at `start`.
        for (int i = 0; i < start / 10; ++i) {
            PostPoint(MsgOpen, -1, 0);
        }
        Drain();
        ASSERT_EQ(queue.readPos, start);
        for (int32_t i = 0; i < 24; ++i) {
            PostPoint(MsgOpen, i, 0);
        }
        ASSERT_EQ(queue.writePos, queue.readPos);  // full
        ASSERT_EQ(PostQueueMessage(queue, 0, MsgQuit, nullptr), 0);
        std::vector<Taken> taken = Drain();
        ASSERT_EQ(taken.size(), 24u);
        for (int32_t i = 0; i < 23; ++i) {
            EXPECT_EQ(taken[i].type, MsgOpen);
            EXPECT_EQ(PointOf(taken[i]).x, i + 1);
        }
        EXPECT_EQ(taken[23].type, MsgQuit);
        // Realign for the next round.
        while (queue.writePos != 0) {
            PostPoint(MsgOpen, -1, 0);
        }
        Drain();
    }
}

// Random sizes, random bursts and random reading: whatever comes out was posted, whole, in
// order; the newest message is never the one dropped; and a drained queue gives nothing more.
TEST_F(EventQueueTest, MixedSizesUnderOverflowNeverGiveAnEmptyOrTornMessage) {
    std::mt19937 random(20240611);
    uint32_t posted = 0;
    int64_t lastSeen = -1;
    for (int round = 0; round < 400; ++round) {
        const int burst = static_cast<int>(random() % 60);
        for (int i = 0; i < burst; ++i) {
            ASSERT_EQ(PostNumbered(queue, posted++), 0);
        }
        const int reads = static_cast<int>(random() % 40);
        uint8_t buffer[kQueueMessageSize];
        for (int i = 0; i < reads; ++i) {
            if (TakeQueueMessage(queue, 0, buffer) != 0) {
                break;
            }
            const Taken taken{buffer[0], buffer[1], std::vector<uint8_t>(buffer + 2, buffer + 2 + buffer[0])};
            const int64_t sequence = CheckNumbered(taken);
            ASSERT_GE(sequence, 0) << "torn or empty message in round " << round;
            ASSERT_GT(sequence, lastSeen);
            ASSERT_EQ(taken.length, LengthFor(static_cast<uint32_t>(sequence)));
            ASSERT_EQ(taken.type, TypeFor(static_cast<uint32_t>(sequence)));
            lastSeen = sequence;
        }
        if (round % 50 == 49) {
            std::vector<Taken> rest = Drain();
            for (const Taken& taken : rest) {
                const int64_t sequence = CheckNumbered(taken);
                ASSERT_GT(sequence, lastSeen);
                lastSeen = sequence;
            }
            if (posted > 0) {
                EXPECT_EQ(lastSeen, static_cast<int64_t>(posted) - 1);  // the newest survives
            }
        }
    }
}

// Two threads: the producer posts bursts (some far beyond what the ring holds) while the consumer
// stalls now and then; every message the consumer gets was posted, whole and in order, and the
// quit posted last always arrives. Run under ThreadSanitizer by the native-tsan preset.
TEST_F(EventQueueTest, ProducerBurstsAgainstAStallingConsumer) {
    constexpr uint32_t kBursts = 300;
    struct Shared {
        EventQueue* queue;
        std::atomic<uint32_t> posted{0};
    } shared{&queue};

    PlatformThread* producer = PlatformStartThread(
        [](void* argument) -> uint32_t {
            Shared& shared = *static_cast<Shared*>(argument);
            std::mt19937 random(7);
            uint32_t sequence = 0;
            for (uint32_t burst = 0; burst < kBursts; ++burst) {
                const uint32_t count = 1 + random() % (burst % 10 == 0 ? 150 : 12);
                for (uint32_t i = 0; i < count; ++i) {
                    PostNumbered(*shared.queue, sequence++);
                }
                shared.posted.store(sequence);
                if (random() % 4 == 0) {
                    PlatformSleepMs(1);
                }
            }
            PostQueueMessage(*shared.queue, 0, MsgQuit, nullptr);
            return 0;
        },
        &shared);
    ASSERT_NE(producer, nullptr);

    // Failures end the loop rather than the test, so that the producer is always joined.
    std::mt19937 random(11);
    int64_t lastSeen = -1;
    uint32_t delivered = 0;
    bool quit = false;
    std::string failure;
    uint8_t buffer[kQueueMessageSize];
    while (!quit && failure.empty()) {
        if (TakeQueueMessage(queue, 5000, buffer) != 0) {
            failure = "the quit message never arrived";
            break;
        }
        if (buffer[1] == MsgQuit) {
            quit = buffer[0] == 0;
            continue;
        }
        const Taken taken{buffer[0], buffer[1], std::vector<uint8_t>(buffer + 2, buffer + 2 + buffer[0])};
        const int64_t sequence = CheckNumbered(taken);
        if (sequence < 0 || taken.type != TypeFor(static_cast<uint32_t>(sequence))) {
            failure = "torn or empty message after " + std::to_string(delivered);
        } else if (sequence <= lastSeen) {
            failure = "message " + std::to_string(sequence) + " out of order";
        }
        lastSeen = sequence;
        ++delivered;
        if (random() % 64 == 0) {
            PlatformSleepMs(2);  // the consumer stalls; the producer runs over it
        }
    }
    PlatformJoinThread(producer);
    ASSERT_EQ(failure, "");
    EXPECT_TRUE(quit);
    EXPECT_GT(delivered, 0u);
    RecordProperty("posted", static_cast<int>(shared.posted.load()));
    RecordProperty("delivered", static_cast<int>(delivered));
    EXPECT_EQ(lastSeen, static_cast<int64_t>(shared.posted.load()) - 1);  // the last burst's end arrived
    EXPECT_TRUE(Drain().empty());
}

}  // namespace
