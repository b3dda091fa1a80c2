#include "transfer/transfer_rate.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

constexpr int64_t MB = 1000000;

TEST(TransferRate, SmoothsOverTheLastSecondsAndFallsWhileNothingArrives) {
    TransferRate rate(5.0);
    rate.start(100.0, 200 * MB);
    EXPECT_EQ(rate.bytes_per_second(100.0), std::nullopt);
    rate.add(100.5, 5 * MB);
    EXPECT_EQ(rate.bytes_per_second(100.5), std::nullopt) << "the first second says nothing";
    EXPECT_EQ(rate.seconds_left(100.5), std::nullopt);
    rate.add(101.0, 10 * MB);
    EXPECT_DOUBLE_EQ(*rate.bytes_per_second(101.0), 10.0 * MB);
    EXPECT_DOUBLE_EQ(*rate.seconds_left(101.0), 19.0);

    // Ten seconds at 10 MB/s, then five at 2 MB/s: after the window has passed, only the
    // slow seconds count.
    for (int s = 2; s <= 10; ++s)
        rate.add(100.0 + s, s * 10 * MB);
    for (int s = 1; s <= 5; ++s)
        rate.add(110.0 + s, 100 * MB + s * 2 * MB);
    EXPECT_DOUBLE_EQ(*rate.bytes_per_second(115.0), 2.0 * MB);
    EXPECT_DOUBLE_EQ(*rate.seconds_left(115.0), 45.0);
    // Halfway into the change, both speeds share the window.
    TransferRate mixed(4.0);
    mixed.start(0, 1000 * MB);
    for (int s = 1; s <= 4; ++s)
        mixed.add(s, s * 10 * MB);
    mixed.add(5, 42 * MB);
    mixed.add(6, 44 * MB);
    EXPECT_DOUBLE_EQ(*mixed.bytes_per_second(6), (44.0 - 20.0) / 4 * MB);

    // Nothing more arrives: the speed falls and the time left is unknown at 0.
    EXPECT_DOUBLE_EQ(*mixed.bytes_per_second(8), (44.0 - 40.0) / 4 * MB);
    EXPECT_DOUBLE_EQ(*mixed.bytes_per_second(20), 0.0);
    EXPECT_EQ(mixed.seconds_left(20), std::nullopt);
}

TEST(TransferRate, AFinishedRunHasNoTimeLeftAndANewRunStartsAfresh) {
    TransferRate rate;
    rate.start(0, 10 * MB);
    rate.add(2, 10 * MB);
    EXPECT_DOUBLE_EQ(*rate.seconds_left(2), 0.0);
    rate.start(50, 10 * MB);
    EXPECT_EQ(rate.bytes_per_second(52), std::nullopt);
}

TEST(TransferRate, TheTimeSpentWaitingForAnAnswerDoesNotCount) {
    TransferRate rate(5.0);
    rate.start(0, 100 * MB);
    for (int s = 1; s <= 4; ++s)
        rate.add(s, s * 10 * MB);
    // A question waits for a minute; a second pause inside it changes nothing.
    rate.pause(4);
    rate.pause(30);
    rate.resume(64);
    rate.add(65, 50 * MB);
    EXPECT_DOUBLE_EQ(*rate.bytes_per_second(65), 10.0 * MB);
    EXPECT_DOUBLE_EQ(*rate.seconds_left(65), 5.0);
    // A resume without a pause moves nothing.
    rate.resume(100);
    EXPECT_DOUBLE_EQ(*rate.bytes_per_second(66), 8.0 * MB);

    // A new run forgets a pause of the last one.
    rate.pause(70);
    rate.start(80, 100 * MB);
    rate.add(81, 10 * MB);
    rate.resume(200);
    EXPECT_DOUBLE_EQ(*rate.bytes_per_second(82), 5.0 * MB);
}

TEST(TransferRate, TimeLeftText) {
    const std::pair<double, const char*> cases[] = {
        {0, "0:00"},       {0.2, "0:01"},  {59.0, "0:59"},
        {59.01, "1:00"},   {605, "10:05"}, {3600, "1:00:00"},
        {3725, "1:02:05"}, {-3, "0:00"},   {100 * 3600 + 1, "100:00:01"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(time_left_text(seconds), text) << seconds;
}

} // namespace
} // namespace orvix
