#include "graphics/Raster_System.h"

#include "framework/Exceptions.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Platform.h"

#include <cpuid.h>
#include <x86intrin.h>

#include <cstdio>
#include <string>

namespace kq {

TCPUFeatures ProcessorFeatures;
std::unique_ptr<TPerfTimer> DefaultPerfTimer;

namespace {

bool features_read = false;

struct cpuid_regs {
    unsigned a = 0, b = 0, c = 0, d = 0;
};

cpuid_regs cpuid(unsigned leaf) {
    cpuid_regs r;
    __cpuid(leaf, r.a, r.b, r.c, r.d);
    return r;
}

constexpr std::uint32_t flags_id_bit = 0x200000;

constexpr std::uint32_t std_bit(TCPUInstructionSet member) {
    switch (member) {
    case ciMMX: return 0x800000;
    case ciSSE: return 0x2000000;
    case ciSSE2: return 0x4000000;
    default: return 0;
    }
}

constexpr std::uint32_t ext_bit(TCPUInstructionSet member) {
    switch (member) {
    case ciEMMX: return 0x400000;
    case ci3DNow: return 0x80000000;
    case ci3DNowExt: return 0x40000000;
    default: return 0;
    }
}

} // namespace

// --- Processor features

bool CpuidAvailable() {
    const auto original = __readeflags();
    __writeeflags(original ^ flags_id_bit);
    const auto toggled = __readeflags();
    __writeeflags(original);
    return ((original ^ toggled) & flags_id_bit) != 0;
}

std::uint32_t CpuSignature() {
    return cpuid(1).a;
}

std::uint32_t CpuStdFeatureBits() {
    return cpuid(1).d;
}

bool CpuHasExtendedLeaves() {
    return cpuid(0x80000000).a > 0x80000000;
}

std::uint32_t CpuExtFeatureBits() {
    return cpuid(0x80000001).d;
}

cpu_identity running_cpu_identity() {
    cpu_identity cpu;
    cpu.cpuid_available = CpuidAvailable();
    if (!cpu.cpuid_available)
        return cpu;
    cpu.signature = CpuSignature();
    cpu.std_feature_bits = CpuStdFeatureBits();
    cpu.has_extended_leaves = CpuHasExtendedLeaves();
    if (cpu.has_extended_leaves)
        cpu.ext_feature_bits = CpuExtFeatureBits();
    return cpu;
}

bool cpu_identity_has(const cpu_identity& cpu, TCPUInstructionSet feature) {
    if (!cpu.cpuid_available || ((cpu.signature >> 8) & 15) < 5)
        return false;
    switch (feature) {
    case ciEMMX:
        // SSE carries the extended MMX instructions.
        if (cpu.std_feature_bits & std_bit(ciSSE))
            return true;
        return cpu.has_extended_leaves && (cpu.ext_feature_bits & ext_bit(ciEMMX));
    case ci3DNow:
    case ci3DNowExt:
        return cpu.has_extended_leaves && (cpu.ext_feature_bits & ext_bit(feature));
    default:
        return (cpu.std_feature_bits & std_bit(feature)) != 0;
    }
}

bool CpuHasFeature(TCPUInstructionSet feature) {
    return cpu_identity_has(running_cpu_identity(), feature);
}

void InitCpuFeatures() {
    if (features_read)
        return;
    TCPUFeatures found;
    for (int i = ciMMX; i <= ci3DNowExt; ++i) {
        const auto member = static_cast<TCPUInstructionSet>(i);
        if (CpuHasFeature(member))
            found.Include(member);
    }
    ProcessorFeatures = found;
    features_read = true;
}

TCPUFeatures GetProcessorFeatures() {
    InitCpuFeatures();
    return ProcessorFeatures;
}

// --- Timer

void TPerfTimer::Start() {
    FPerformanceCountStart = raster_platform::performance_counter();
}

void TPerfTimer::stop_and_check_frequency() {
    FPerformanceCountStop = raster_platform::performance_counter();
    FFrequency = raster_platform::performance_frequency();
    if (FFrequency <= 0)
        throw EAssertionFailed(u"Assertion failure");
}

// Computed in floating point: 1,000,000 x a count of a nanosecond counter passes 64 bits after hours.
std::int64_t TPerfTimer::ReadValue() {
    stop_and_check_frequency();
    return detail::round_half_even(1e6 * static_cast<double>(FPerformanceCountStop - FPerformanceCountStart) /
                                   static_cast<double>(FFrequency));
}

String TPerfTimer::ReadNanoseconds() {
    return utf8_to_string(std::to_string(ReadValue()));
}

namespace {

String fixed3(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return utf8_to_string(text);
}

} // namespace

String TPerfTimer::ReadMilliseconds() {
    stop_and_check_frequency();
    return fixed3(1000.0 * static_cast<double>(FPerformanceCountStop - FPerformanceCountStart) /
                  static_cast<double>(FFrequency));
}

String TPerfTimer::ReadSeconds() {
    FPerformanceCountStop = raster_platform::performance_counter();
    FFrequency = raster_platform::performance_frequency();
    return fixed3(static_cast<double>(FPerformanceCountStop - FPerformanceCountStart) /
                  static_cast<double>(FFrequency));
}

std::uint32_t SystemTickCount() {
    return raster_platform::tick_count();
}

std::int32_t ProcessorCount() {
    return raster_platform::processor_count();
}

void Raster_System_startup() {
    InitCpuFeatures();
    DefaultPerfTimer = std::make_unique<TPerfTimer>();
}

void Raster_System_shutdown() {
    DefaultPerfTimer.reset();
}

} // namespace kq
