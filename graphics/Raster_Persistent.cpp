#include "graphics/Raster_Persistent.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"

#include <utility>

namespace kq {

namespace {

size_of_object_proc size_of_object = nullptr;

} // namespace

// --- TPlainInterfacedPersistent

void* TPlainInterfacedPersistent::GetInterface(const TGUID& iid) {
    return iid == IID_IInterface ? static_cast<IInterface*>(this) : nullptr;
}

std::int32_t TPlainInterfacedPersistent::QueryInterface(const TGUID& iid, void** obj) {
    void* found = GetInterface(iid);
    if (obj)
        *obj = found;
    if (!found)
        return no_interface_result;
    AddRef();
    return 0;
}

std::int32_t TPlainInterfacedPersistent::AddRef() {
    if (!FRefCounted)
        return -1;
    return ++FRefCount;
}

std::int32_t TPlainInterfacedPersistent::Release() {
    if (!FRefCounted)
        return -1;
    const std::int32_t count = --FRefCount;
    if (count == 0)
        delete this; // a reference-counted object belongs to its references
    return count;
}

void* query_interface(IInterface* object, const TGUID& iid) {
    void* found = nullptr;
    if (!object || object->QueryInterface(iid, &found) != 0 || !found)
        return nullptr;
    const counted_ref<IInterface> added(object);
    return found;
}

void TPlainInterfacedPersistent::BeforeDestruction() {
    if (FRefCounted && FRefCount.load() != 0)
        throw Exception(u"Unmatched reference counting.");
}

void TPlainInterfacedPersistent::SetRefCounted() {
    if (FRefCounted)
        return;
    FRefCounted = true;
    ++FRefCount;
}

void TPlainInterfacedPersistent::AfterConstruction() {
    if (FRefCounted)
        --FRefCount;
}

// --- TNotifiablePersistent

void TNotifiablePersistent::Changed() {
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

void TNotifiablePersistent::BeginUpdate() {
    ++FUpdateCount;
}

void TNotifiablePersistent::EndUpdate() {
    if (FUpdateCount <= 0)
        throw EAssertionFailed(u"Unpaired TThreadPersistent.EndUpdate");
    --FUpdateCount;
}

// --- TThreadPersistent

void TThreadPersistent::Lock() {
    ++FLockCount;
    FLock.Enter();
}

void TThreadPersistent::Unlock() {
    FLock.Leave();
    --FLockCount;
}

// --- TCustomMap

TCustomMap::TCustomMap(std::int32_t width, std::int32_t height) {
    SetSize(width, height);
}

void TCustomMap::SetWidth(std::int32_t value) {
    SetSize(value, Height());
}

void TCustomMap::SetHeight(std::int32_t value) {
    SetSize(Width(), value);
}

bool TCustomMap::SetSize(std::int32_t newWidth, std::int32_t newHeight) {
    if (newWidth < 0)
        newWidth = 0;
    if (newHeight < 0)
        newHeight = 0;
    if (newWidth == FWidth && newHeight == FHeight)
        return false;
    ChangeSize(FWidth, FHeight, newWidth, newHeight);
    Changed();
    Resized();
    return true;
}

bool TCustomMap::SetSizeFrom(const TPersistent* source) {
    if (!source)
        return SetSize(0, 0);
    if (const auto* map = dynamic_cast<const TCustomMap*>(source))
        return SetSize(map->Width(), map->Height());
    if (size_of_object)
        if (const auto size = size_of_object(source))
            return SetSize(size->first, size->second);
    throw Exception(u"Can't set size from '" + source->ClassName() + u"'");
}

void TCustomMap::Delete() {
    SetSize(0, 0);
}

bool TCustomMap::Empty() const {
    return FWidth == 0 || FHeight == 0;
}

void TCustomMap::ChangeSize(std::int32_t& width, std::int32_t& height, std::int32_t newWidth, std::int32_t newHeight) {
    width = newWidth;
    height = newHeight;
}

void TCustomMap::Resized() {
    if (OnResize)
        OnResize(this);
}

size_of_object_proc set_size_of_object(size_of_object_proc proc) noexcept {
    return std::exchange(size_of_object, proc);
}

} // namespace kq
