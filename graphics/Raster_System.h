#pragma once
// Processor features.
#include "framework/Object.h"
#include "framework/Strings.h"

#include <cstdint>
#include <initializer_list>
#include <memory>

namespace kq {

// --- Processor features

enum TCPUInstructionSet : std::uint8_t { ciMMX, ciEMMX, ciSSE, ciSSE2, ci3DNow, ci3DNowExt };

// A set of instruction sets in one byte, bit i for ordinal i.
class TCPUFeatures {
public:
    constexpr TCPUFeatures() = default;
    constexpr TCPUFeatures(std::initializer_list<TCPUInstructionSet> members) {
        for (const TCPUInstructionSet m : members)
            Include(m);
    }
    constexpr void Include(TCPUInstructionSet member) { FBits = static_cast<std::uint8_t>(FBits | (1u << member)); }
    constexpr bool Contains(TCPUInstructionSet member) const { return (FBits >> member) & 1u; }
    // True when every member of Other is in this set.
    constexpr bool Includes(TCPUFeatures other) const { return (other.FBits & ~FBits) == 0; }
    constexpr std::uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TCPUFeatures&) const = default;

private:
    std::uint8_t FBits = 0;
};

bool CpuidAvailable();
std::uint32_t CpuSignature();
std::uint32_t CpuStdFeatureBits();
bool CpuHasExtendedLeaves();
std::uint32_t CpuExtFeatureBits();
bool CpuHasFeature(TCPUInstructionSet feature);

// What the identification instruction reports, and the feature test on it (CpuHasFeature applies it to the
// running processor; tests apply it to others).
struct cpu_identity {
    bool cpuid_available = false;
    std::uint32_t signature = 0;
    std::uint32_t std_feature_bits = 0;
    bool has_extended_leaves = false;
    std::uint32_t ext_feature_bits = 0;
};
cpu_identity running_cpu_identity();
bool cpu_identity_has(const cpu_identity& cpu, TCPUInstructionSet feature);

// The running processor's features. Written at start-up only; tests may overwrite it to bind the
// registries under a simulated processor (see Raster_Bindings).
extern TCPUFeatures ProcessorFeatures;
void InitCpuFeatures();
TCPUFeatures GetProcessorFeatures();

// --- Timing and counters

class TPerfTimer : public TObject {
public:
    void Start();
    // Elapsed microseconds, rounded. Throws "Assertion failure" when the counter has no frequency.
    std::int64_t ReadValue();
    // Microseconds as text, despite the name.
    String ReadNanoseconds();
    String ReadMilliseconds();
    String ReadSeconds();

private:
    std::int64_t FFrequency = 0;
    std::int64_t FPerformanceCountStart = 0;
    std::int64_t FPerformanceCountStop = 0;

    void stop_and_check_frequency();
};

// Created by Raster_System_startup, freed by Raster_System_shutdown.
extern std::unique_ptr<TPerfTimer> DefaultPerfTimer;

std::uint32_t SystemTickCount();
std::int32_t ProcessorCount();

void Raster_System_startup();
void Raster_System_shutdown();

} // namespace kq
