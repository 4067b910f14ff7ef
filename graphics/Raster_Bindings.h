#pragma once
// Routines bound by processor features.
#include "framework/Components.h"
#include "framework/Strings.h"
#include "graphics/Raster_System.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kq {

// Any routine, stored untyped; RegisterBinding and Add restore and erase the routine's own type.
using TFunctionProc = void (*)();

struct TFunctionInfo {
    std::int32_t FunctionID = 0;
    TFunctionProc Proc = nullptr;
    TCPUFeatures CPUFeatures;
    std::int32_t Flags = 0; // stored, never read
};
using PFunctionInfo = TFunctionInfo*;

// Smaller is better; NoPriority means the implementation cannot run.
using TFunctionPriority = std::int32_t (*)(PFunctionInfo info);
constexpr std::int32_t NoPriority = 0x7FFFFFFF;

// 0 when every feature the implementation needs is in ProcessorFeatures.
std::int32_t DefaultBindingPriority(PFunctionInfo info);

// Implementations of a unit's routines with the processor features they need, and the routine variables
// to fill: each variable gets the last registered implementation the processor can run.
class TFunctionRegistry : public TPersistent {
public:
    ~TFunctionRegistry() override;
    const property_table& PublishedProperties() const override;

    template <class Proc>
    void Add(std::int32_t functionID, Proc* proc, TCPUFeatures cpu_features = {}, std::int32_t flags = 0) {
        add_info(functionID, reinterpret_cast<TFunctionProc>(proc), cpu_features, flags);
    }

    template <class Proc>
    void RegisterBinding(std::int32_t functionID, Proc** bind_variable) {
        FBindings.push_back({functionID, bind_variable, [](void* variable, TFunctionProc proc) {
                                 *static_cast<Proc**>(variable) = reinterpret_cast<Proc*>(proc);
                             }});
    }

    // Nil when no implementation of the ID can run.
    TFunctionProc FindFunction(std::int32_t functionID, TFunctionPriority priority_callback = nullptr) const;
    void Rebind(std::int32_t functionID, TFunctionPriority priority_callback = nullptr);
    void RebindAll(TFunctionPriority priority_callback = nullptr);
    void Clear();

    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    PFunctionInfo GetItems(std::int32_t index) const;
    // The registry owns the record it is given and frees the one it replaces.
    void SetItems(std::int32_t index, std::unique_ptr<TFunctionInfo> value);

    const String& Name() const { return FName; }
    void SetName(const String& value) { FName = value; }

private:
    struct binding {
        std::int32_t FunctionID;
        void* Variable;
        void (*Store)(void* variable, TFunctionProc proc);
    };

    std::vector<std::unique_ptr<TFunctionInfo>> FItems;
    std::vector<binding> FBindings;
    String FName;

    void add_info(std::int32_t functionID, TFunctionProc proc, TCPUFeatures cpu_features, std::int32_t flags);
};

// Creates, names and lists a registry; the list owns it until FreeFunctionRegistries.
TFunctionRegistry* NewFunctionRegistry(const String& name);
// Every registry created, in creation order (empty before the first and after shutdown).
std::span<const std::unique_ptr<TFunctionRegistry>> FunctionRegistries();
void FreeFunctionRegistries();

void Raster_Bindings_shutdown();

} // namespace kq
