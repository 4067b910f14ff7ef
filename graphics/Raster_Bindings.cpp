#include "graphics/Raster_Bindings.h"

#include "framework/Exceptions.h"
#include "framework/Properties.h"

namespace kq {

namespace {

std::unique_ptr<std::vector<std::unique_ptr<TFunctionRegistry>>> registries;

} // namespace

std::int32_t DefaultBindingPriority(PFunctionInfo info) {
    return ProcessorFeatures.Includes(info->CPUFeatures) ? 0 : NoPriority;
}

TFunctionRegistry::~TFunctionRegistry() {
    Clear();
}

const property_table& TFunctionRegistry::PublishedProperties() const {
    static const property_table table = property_table::of<TFunctionRegistry>(TPersistent::PublishedProperties())
                                            .string(u"Name", &TFunctionRegistry::Name, &TFunctionRegistry::SetName);
    return table;
}

void TFunctionRegistry::add_info(std::int32_t functionID, TFunctionProc proc, TCPUFeatures cpu_features,
                                 std::int32_t flags) {
    FItems.push_back(std::make_unique<TFunctionInfo>(TFunctionInfo{functionID, proc, cpu_features, flags}));
}

TFunctionProc TFunctionRegistry::FindFunction(std::int32_t functionID, TFunctionPriority priority_callback) const {
    if (!priority_callback)
        priority_callback = DefaultBindingPriority;
    std::int32_t best = NoPriority;
    TFunctionProc found = nullptr;
    // From the last registration back: among equal priorities the later registration wins.
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        if (!*it || (*it)->FunctionID != functionID)
            continue;
        const std::int32_t priority = priority_callback(it->get());
        if (priority < best) {
            best = priority;
            found = (*it)->Proc;
        }
    }
    return found;
}

void TFunctionRegistry::Rebind(std::int32_t functionID, TFunctionPriority priority_callback) {
    for (const binding& b : FBindings)
        if (b.FunctionID == functionID)
            b.Store(b.Variable, FindFunction(functionID, priority_callback));
}

void TFunctionRegistry::RebindAll(TFunctionPriority priority_callback) {
    for (const binding& b : FBindings)
        b.Store(b.Variable, FindFunction(b.FunctionID, priority_callback));
}

void TFunctionRegistry::Clear() {
    FItems.clear();
    FBindings.clear();
}

PFunctionInfo TFunctionRegistry::GetItems(std::int32_t index) const {
    if (index < 0 || index >= Count())
        raise_list_index_error(index);
    return FItems[static_cast<std::size_t>(index)].get();
}

void TFunctionRegistry::SetItems(std::int32_t index, std::unique_ptr<TFunctionInfo> value) {
    if (index < 0 || index >= Count())
        raise_list_index_error(index);
    FItems[static_cast<std::size_t>(index)] = std::move(value);
}

TFunctionRegistry* NewFunctionRegistry(const String& name) {
    if (!registries)
        registries = std::make_unique<std::vector<std::unique_ptr<TFunctionRegistry>>>();
    auto registry = std::make_unique<TFunctionRegistry>();
    registry->SetName(name);
    registries->push_back(std::move(registry));
    return registries->back().get();
}

std::span<const std::unique_ptr<TFunctionRegistry>> FunctionRegistries() {
    if (!registries)
        return {};
    return {registries->data(), registries->size()};
}

void FreeFunctionRegistries() {
    if (!registries)
        return;
    while (!registries->empty())
        registries->pop_back();
    registries.reset();
}

void Raster_Bindings_shutdown() {
    FreeFunctionRegistries();
}

} // namespace kq
