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

TEST(RasterSystem, FeatureTestOnReportedIdentities) {
    constexpr std::uint32_t family6 = 0x600, family4 = 0x400;
    constexpr std::uint32_t mmx = 0x800000, sse = 0x2000000, sse2 = 0x4000000;
    constexpr std::uint32_t ext_emmx = 0x400000, ext_3dnow = 0x80000000, ext_3dnow_ext = 0x40000000;
    struct row {
        const char* what;
        cpu_identity cpu;
        TCPUFeatures expected;
    };
    const row rows[] = {
        {"no identification instruction", {false, family6, mmx | sse | sse2, true, ~0u}, {}},
        {"family 4", {true, family4, mmx | sse | sse2, true, ~0u}, {}},
        {"family 15 with SSE2", {true, 0xF00, mmx | sse | sse2, false, 0}, {ciMMX, ciEMMX, ciSSE, ciSSE2}},
        {"MMX only", {true, family6, mmx, true, 0}, {ciMMX}},
        {"extended MMX without SSE", {true, family6, mmx, true, ext_emmx}, {ciMMX, ciEMMX}},
        {"extended bits without the extended leaves", {true, family6, mmx, false, ext_emmx | ext_3dnow}, {ciMMX}},
        {"3DNow! and its extensions", {true, family6, mmx, true, ext_3dnow | ext_3dnow_ext}, {ciMMX, ci3DNow, ci3DNowExt}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TCPUFeatures found;
        for (int i = ciMMX; i <= ci3DNowExt; ++i)
            if (cpu_identity_has(r.cpu, static_cast<TCPUInstructionSet>(i)))
                found.Include(static_cast<TCPUInstructionSet>(i));
        EXPECT_EQ(found, r.expected);
    }
}
