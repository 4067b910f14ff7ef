#pragma once
// TPointerMap, TRectList.
#include "framework/Components.h"
#include "framework/Object.h"
#include "framework/Properties.h"
#include "framework/Strings.h"
#include "graphics/Raster.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kq {

// --- Pointer map

using PPData = void**;

// A hash map from pointers to pointers in 256 buckets by (address shr 8) and 255.
class TPointerMap : public TObject {
public:
    // Frees the map's own records only: a subclass whose Delete frees the data calls Clear in its own
    // destructor, since a base destructor cannot reach the override.
    ~TPointerMap() override;

    // The data slot of the item; an existing item keeps its data and IsNew is False.
    PPData Add(void* new_item);
    PPData Add(void* new_item, bool& is_new);
    PPData Add(void* new_item, void* new_data);
    PPData Add(void* new_item, void* new_data, bool& is_new);
    // The removed entry's data, or nullptr when the item is absent.
    void* Remove(void* item);
    void Clear();
    bool Contains(void* item) const;
    bool Find(void* item, PPData& data) const;
    // Raise EListError "Item not found ($0%x)" for an absent item.
    void* GetData(void* item) const;
    void SetData(void* item, void* data);

    std::int32_t Count() const { return FCount; }

protected:
    // Removes an entry (when Count is not 0) and returns its data; overridden to free what the data holds.
    virtual void* Delete(std::int32_t bucket_index, std::int32_t item_index);

private:
    friend class TPointerMapIterator;

    struct entry {
        void* Item;
        void* Data;
    };
    struct bucket {
        std::int32_t Count = 0;
        std::vector<entry> Items; // its size is the bucket's capacity
    };

    std::array<bucket, 256> FBuckets;
    std::int32_t FCount = 0;

    static std::size_t bucket_of(const void* item);
    const entry* find_entry(const void* item) const;
};

// Visits every entry once: buckets in order, each bucket's entries from last to first. Removing the entry
// just visited between steps is safe and changes nothing; removing others never reads outside the map but
// may make the iterator skip or repeat entries of the current bucket.
class TPointerMapIterator : public TObject {
public:
    explicit TPointerMapIterator(const TPointerMap& src_pointer_map) : FSrcPointerMap(src_pointer_map) {}

    bool Next();
    void* Item() const { return FItem; }
    void* Data() const { return FData; }

private:
    const TPointerMap& FSrcPointerMap;
    void* FItem = nullptr;
    void* FData = nullptr;
    std::int32_t FCurBucketIndex = -1;
    std::int32_t FCurItemIndex = -1;
};

// --- Rectangle list

// Indexes outside 0..Count - 1 are ignored by Insert, Delete, Exchange and Move, and answered with nil by Get.
class TRectList : public TObject {
public:
    std::int32_t Add(const TRect& rect);
    void Insert(std::int32_t index, const TRect& rect);
    void Delete(std::int32_t index);
    void Exchange(std::int32_t index1, std::int32_t index2);
    void Move(std::int32_t cur_index, std::int32_t new_index);
    std::int32_t IndexOf(const TRect& rect) const;
    std::int32_t Remove(const TRect& rect);
    TRect* Get(std::int32_t index);
    const TRect* Get(std::int32_t index) const;
    TRect* Items(std::int32_t index) { return Get(index); }
    // Count 0, capacity 10.
    virtual void Clear();
    void Pack();

    std::int32_t Count() const { return FCount; }
    // Growing zero-fills the new entries.
    void SetCount(std::int32_t value);
    std::int32_t Capacity() const { return static_cast<std::int32_t>(FList.size()); }
    void SetCapacity(std::int32_t value);

protected:
    virtual void Grow();

private:
    std::vector<TRect> FList; // its size is the capacity
    std::int32_t FCount = 0;
};

// --- Class list

// A class reference: the class's name; a list's users derive what they need to make instances.
struct class_info {
    String ClassName;
};
using TClass = const class_info*;

// Out-of-range indexes raise EListError "List index out of bounds (%d)", as the pointer list does (First
// and Last of an empty list too).
class TClassList : public TObject {
public:
    std::int32_t Add(TClass item);
    void Insert(std::int32_t index, TClass item);
    std::int32_t Remove(TClass item);
    TClass Extract(TClass item);
    std::int32_t IndexOf(TClass item) const;
    TClass First() const;
    TClass Last() const;
    TClass GetItems(std::int32_t index) const;
    void SetItems(std::int32_t index, TClass item);
    std::int32_t Count() const { return static_cast<std::int32_t>(FList.size()); }

    // The first class of exactly this name (case-sensitive), or nil.
    TClass Find(StringView class_name) const;
    void GetClassNames(std::vector<String>& strings) const;

private:
    std::vector<TClass> FList;
};

// --- Property copy

using property_kinds = enum_set<property_kind>;
// Every kind but events, as the library copies.
property_kinds copyable_property_kinds();

// For every published property of Source of a kind in Kinds: an object property of Dest gets Assign of
// Source's object (when both exist); any other is copied by name, enumerations and sets by their names.
void CopyPublishedProperties(const TPersistent* source, TPersistent* dest, property_kinds kinds);

} // namespace kq
