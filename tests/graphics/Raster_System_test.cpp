#include "graphics/Raster_System.h"

#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

using namespace kq;

TEST(RasterSystem, ProcessorFeaturesOfAnyCurrentProcessor) {
    ASSERT_TRUE(CpuidAvailable());
    EXPECT_GE((CpuSignature() >> 8) & 15, 5u);
    for (const TCPUInstructionSet member : {ciMMX, ciEMMX, ciSSE, ciSSE2})
        EXPECT_TRUE(CpuHasFeature(member)) << int(member);
    const TCPUFeatures features = GetProcessorFeatures();
    EXPECT_EQ(features, ProcessorFeatures);
    EXPECT_TRUE(features.Includes({ciMMX, ciEMMX, ciSSE, ciSSE2}));
    EXPECT_EQ(features.Contains(ci3DNow), CpuHasFeature(ci3DNow));
    EXPECT_EQ(features.Contains(ci3DNowExt), CpuHasFeature(ci3DNowExt));
}

TEST(RasterSystem, FeatureSetIsOneBytePerOrdinal) {
    EXPECT_EQ(TCPUFeatures({ciMMX, ciSSE2}).Bits(), 0x09);
    EXPECT_EQ(TCPUFeatures({ci3DNowExt}).Bits(), 0x20);
    EXPECT_TRUE(TCPUFeatures({ciMMX, ciSSE2}).Includes({}));
    EXPECT_FALSE(TCPUFeatures({ciMMX}).Includes({ciMMX, ciSSE}));
}

TEST(RasterSystem, PerfTimerReadsMicroseconds) {
    ASSERT_NE(DefaultPerfTimer, nullptr);
    TPerfTimer timer;
    timer.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::int64_t us = timer.ReadValue();
    EXPECT_GE(us, 19000);
    EXPECT_LT(us, 5'000'000);
    // "Nanoseconds" are microseconds too.
    const std::string ns = string_to_utf8(timer.ReadNanoseconds());
    EXPECT_TRUE(std::regex_match(ns, std::regex("[0-9]+"))) << ns;
    EXPECT_GE(std::stoll(ns), us);
    EXPECT_LT(std::stoll(ns), us + 1'000'000);
    const std::string ms = string_to_utf8(timer.ReadMilliseconds());
    EXPECT_TRUE(std::regex_match(ms, std::regex("[0-9]+\\.[0-9]{3}"))) << ms;
    EXPECT_GE(std::stod(ms), 19.0);
    const std::string s = string_to_utf8(timer.ReadSeconds());
    EXPECT_TRUE(std::regex_match(s, std::regex("0\\.[0-9]{3}"))) << s;
}

TEST(RasterSystem, TickCountAndProcessorCount) {
    const std::uint32_t before = SystemTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto elapsed = static_cast<std::int32_t>(SystemTickCount() - before);
    EXPECT_GE(elapsed, 15);
    EXPECT_LT(elapsed, 5000);
    EXPECT_GE(ProcessorCount(), 1);
}
