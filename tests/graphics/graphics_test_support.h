#pragma once
// Helpers of the raster tests: bound routines per processor feature, bitmaps and pixels.
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_System.h"

#include <cstdint>
#include <random>
#include <stdexcept>

namespace kq::test {

// Binds every registry (and the running sum) as on a processor with the given features, and restores the
// real binding at scope end. Routines bound for features the machine lacks must not be called.
class simulated_processor {
public:
    explicit simulated_processor(TCPUFeatures features) : FSaved(ProcessorFeatures) {
        ProcessorFeatures = features;
        rebind();
    }
    ~simulated_processor() {
        ProcessorFeatures = FSaved;
        rebind();
    }
    simulated_processor(const simulated_processor&) = delete;
    simulated_processor& operator=(const simulated_processor&) = delete;

private:
    TCPUFeatures FSaved;

    static void rebind() {
        for (const auto& registry : FunctionRegistries())
            registry->RebindAll();
        Raster_Math_startup();
    }
};

inline TFunctionRegistry& registry_named(const String& name) {
    for (const auto& registry : FunctionRegistries())
        if (registry->Name() == name)
            return *registry;
    throw std::runtime_error("no such registry");
}

// The index-th registration (0 = first) of an ID, as the routine type Proc.
template <class Proc>
Proc registered_form(const String& registry, std::int32_t id, int index) {
    TFunctionRegistry& r = registry_named(registry);
    for (std::int32_t i = 0; i < r.Count(); ++i)
        if (r.GetItems(i)->FunctionID == id && index-- == 0)
            return reinterpret_cast<Proc>(r.GetItems(i)->Proc);
    throw std::runtime_error("no such registration");
}

inline std::mt19937& random_engine() {
    static std::mt19937 engine{20261210};
    return engine;
}

inline std::uint32_t random_word() {
    return random_engine()();
}

} // namespace kq::test
