#pragma once
// The counted interface base, notifying persistents.
#include "framework/Components.h"
#include "framework/Sync.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace kq {

// --- The basic reference-counted interface

struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0, D3 = 0;
    std::uint8_t D4[8] = {};
    constexpr bool operator==(const TGUID&) const = default;
};

constexpr TGUID IID_IInterface{0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// QueryInterface's answer for an interface the object does not implement.
constexpr std::int32_t no_interface_result = static_cast<std::int32_t>(0x80004002u);

class IInterface {
public:
    virtual std::int32_t QueryInterface(const TGUID& iid, void** obj) = 0;
    virtual std::int32_t AddRef() = 0;
    virtual std::int32_t Release() = 0;

protected:
    ~IInterface() = default;
};

// Makes an object, reference-counted or not, and ends its construction: a reference-counted one then
// holds exactly the references its constructor kept.
template <class T, class... Args>
T* new_object(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    object->AfterConstruction();
    return object;
}

// --- Bases

// Owned conventionally unless a subclass's constructor calls SetRefCounted; then it is made with new_object, the
// last Release frees it and it must not be freed any other way.
class TPlainInterfacedPersistent : public TPersistent, public IInterface {
public:
    std::int32_t QueryInterface(const TGUID& iid, void** obj) override;
    // -1 and nothing else for an object that is not reference-counted.
    std::int32_t AddRef() override;
    std::int32_t Release() override;

    std::int32_t RefCount() const { return FRefCount.load(); }

    // Raises "Unmatched reference counting." for a reference-counted object that still has references;
    // whoever frees such an object conventionally calls it first and keeps the object when it raises.
    virtual void BeforeDestruction();
    // Drops the reference a reference-counted constructor runs with (new_object calls it); frees nothing.
    void AfterConstruction();

protected:
    // Makes the object reference-counted and holds one reference until AfterConstruction, so that a
    // constructor that takes and drops references cannot free the object it is building.
    void SetRefCounted();

    // The interfaces the class implements; the base answers IID_IInterface.
    virtual void* GetInterface(const TGUID& iid);

private:
    bool FRefCounted = false;
    std::atomic<std::int32_t> FRefCount{0};
};

// The object's interface iid, or nil. Borrowed: the reference the query adds is dropped at once, so the
// object's own references keep it alive.
void* query_interface(IInterface* object, const TGUID& iid);

class TNotifiablePersistent : public TPlainInterfacedPersistent {
public:
    // Calls OnChange unless inside BeginUpdate/EndUpdate.
    virtual void Changed();
    virtual void BeginUpdate();
    // Raises "Unpaired TThreadPersistent.EndUpdate" when not inside an update. Reports nothing: the
    // batching caller calls Changed afterwards.
    virtual void EndUpdate();

    std::int32_t UpdateCount() const { return FUpdateCount; }

    TNotifyEvent OnChange;

protected:
    std::int32_t FUpdateCount = 0;
};

// An object with its own lock, taken only by explicit Lock/Unlock (re-entrant for the owning thread).
class TThreadPersistent : public TNotifiablePersistent {
public:
    void Lock();
    void Unlock();
    // Threads inside or waiting in Lock.
    std::int32_t LockCount() const { return FLockCount.load(); }

protected:
    std::atomic<std::int32_t> FLockCount{0};
    TCriticalSection FLock;
};

// A two-dimensional object with a size.
class TCustomMap : public TThreadPersistent {
public:
    TCustomMap() = default;
    // Subclasses that keep storage call SetSize in their own constructor (a base constructor cannot reach
    // their ChangeSize).
    TCustomMap(std::int32_t width, std::int32_t height);

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    virtual void SetWidth(std::int32_t value);
    virtual void SetHeight(std::int32_t value);

    // Negative sizes become 0. False, and nothing happens, when the size stays as it is.
    virtual bool SetSize(std::int32_t newWidth, std::int32_t newHeight);
    // Raises "Can't set size from '%s'" for a source that has no size.
    bool SetSizeFrom(const TPersistent* source);
    virtual void Delete();
    virtual bool Empty() const;

    TNotifyEvent OnResize;

protected:
    // Resizes the storage; the base only stores the new size in Width and Height.
    virtual void ChangeSize(std::int32_t& width, std::int32_t& height, std::int32_t newWidth, std::int32_t newHeight);
    virtual void Resized();

    std::int32_t FHeight = 0;
    std::int32_t FWidth = 0;
};

// The size of a framework object that is not a map (graphics and controls of the visual half, which
// installs this at start-up); nullopt when the object has no size. Gives back the one it replaces.
using size_of_object_proc = std::optional<std::pair<std::int32_t, std::int32_t>> (*)(const TPersistent* source);
size_of_object_proc set_size_of_object(size_of_object_proc proc) noexcept;

#ifdef _WIN32
// Installs the size of the framework's graphics and controls for SetSizeFrom; shutdown removes it.
void Raster_Persistent_startup();
void Raster_Persistent_shutdown();
#endif

} // namespace kq
