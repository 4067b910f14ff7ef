#include "graphics/Raster_Containers.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cstdio>

namespace kq {

// --- TPointerMap

TPointerMap::~TPointerMap() {
    Clear();
}

std::size_t TPointerMap::bucket_of(const void* item) {
    return (reinterpret_cast<std::uintptr_t>(item) >> 8) & 255;
}

const TPointerMap::entry* TPointerMap::find_entry(const void* item) const {
    const bucket& b = FBuckets[bucket_of(item)];
    for (std::int32_t i = 0; i < b.Count; ++i)
        if (b.Items[static_cast<std::size_t>(i)].Item == item)
            return &b.Items[static_cast<std::size_t>(i)];
    return nullptr;
}

PPData TPointerMap::Add(void* new_item) {
    bool is_new;
    return Add(new_item, nullptr, is_new);
}

PPData TPointerMap::Add(void* new_item, bool& is_new) {
    return Add(new_item, nullptr, is_new);
}

PPData TPointerMap::Add(void* new_item, void* new_data) {
    bool is_new;
    return Add(new_item, new_data, is_new);
}

PPData TPointerMap::Add(void* new_item, void* new_data, bool& is_new) {
    if (const entry* existing = find_entry(new_item)) {
        is_new = false;
        return const_cast<PPData>(&existing->Data);
    }
    bucket& b = FBuckets[bucket_of(new_item)];
    const std::size_t length = b.Items.size();
    if (static_cast<std::size_t>(b.Count) == length)
        b.Items.resize(length + (length <= 8 ? 4 : length <= 64 ? 16 : length / 4));
    entry& e = b.Items[static_cast<std::size_t>(b.Count++)];
    e = {new_item, new_data};
    ++FCount;
    is_new = true;
    return &e.Data;
}

void* TPointerMap::Remove(void* item) {
    bucket& b = FBuckets[bucket_of(item)];
    for (std::int32_t i = 0; i < b.Count; ++i)
        if (b.Items[static_cast<std::size_t>(i)].Item == item)
            return Delete(static_cast<std::int32_t>(bucket_of(item)), i);
    return nullptr;
}

void* TPointerMap::Delete(std::int32_t bucket_index, std::int32_t item_index) {
    bucket& b = FBuckets[static_cast<std::size_t>(bucket_index)];
    void* data = b.Items[static_cast<std::size_t>(item_index)].Data;
    if (FCount != 0) {
        std::copy(b.Items.begin() + item_index + 1, b.Items.begin() + b.Count, b.Items.begin() + item_index);
        if (--b.Count == 0)
            std::vector<entry>().swap(b.Items);
        --FCount;
    }
    return data;
}

void TPointerMap::Clear() {
    FCount = 0;
    for (std::size_t i = 0; i < FBuckets.size(); ++i) {
        bucket& b = FBuckets[i];
        for (std::int32_t j = b.Count - 1; j >= 0; --j)
            Delete(static_cast<std::int32_t>(i), j);
        b.Count = 0;
        std::vector<entry>().swap(b.Items);
    }
}

bool TPointerMap::Contains(void* item) const {
    return find_entry(item) != nullptr;
}

bool TPointerMap::Find(void* item, PPData& data) const {
    const entry* e = find_entry(item);
    data = e ? const_cast<PPData>(&e->Data) : nullptr;
    return e != nullptr;
}

namespace {

[[noreturn]] void item_not_found(const void* item) {
    char text[64];
    std::snprintf(text, sizeof text, "Item not found ($0%llX)",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(item)));
    throw EListError(utf8_to_string(text));
}

} // namespace

void* TPointerMap::GetData(void* item) const {
    const entry* e = find_entry(item);
    if (!e)
        item_not_found(item);
    return e->Data;
}

void TPointerMap::SetData(void* item, void* data) {
    const entry* e = find_entry(item);
    if (!e)
        item_not_found(item);
    const_cast<entry*>(e)->Data = data;
}

// --- TPointerMapIterator

bool TPointerMapIterator::Next() {
    const auto& buckets = FSrcPointerMap.FBuckets;
    if (FCurBucketIndex >= 0 && FCurBucketIndex < 256) {
        // Entries of this bucket may have been removed since the last step (the current one, typically):
        // go on from below the last visited position, never beyond what the bucket still holds.
        FCurItemIndex = std::min(FCurItemIndex - 1, buckets[static_cast<std::size_t>(FCurBucketIndex)].Count - 1);
    }
    if (FCurBucketIndex >= 256 || FCurItemIndex < 0) {
        do
            ++FCurBucketIndex;
        while (FCurBucketIndex < 256 && buckets[static_cast<std::size_t>(FCurBucketIndex)].Count == 0);
        if (FCurBucketIndex >= 256) {
            FCurBucketIndex = 256;
            FCurItemIndex = -1;
            return false;
        }
        FCurItemIndex = buckets[static_cast<std::size_t>(FCurBucketIndex)].Count - 1;
    }
    const auto& e = buckets[static_cast<std::size_t>(FCurBucketIndex)].Items[static_cast<std::size_t>(FCurItemIndex)];
    FItem = e.Item;
    FData = e.Data;
    return true;
}

// --- TRectList

void TRectList::Grow() {
    const std::int32_t capacity = Capacity();
    SetCapacity(capacity + (capacity <= 8 ? 8 : capacity <= 128 ? 32 : capacity / 4));
}

std::int32_t TRectList::Add(const TRect& rect) {
    if (FCount == Capacity())
        Grow();
    FList[static_cast<std::size_t>(FCount)] = rect;
    return FCount++;
}

void TRectList::Insert(std::int32_t index, const TRect& rect) {
    if (index < 0 || index > FCount)
        return;
    if (FCount == Capacity())
        Grow();
    std::copy_backward(FList.begin() + index, FList.begin() + FCount, FList.begin() + FCount + 1);
    FList[static_cast<std::size_t>(index)] = rect;
    ++FCount;
}

void TRectList::Delete(std::int32_t index) {
    if (index < 0 || index >= FCount)
        return;
    std::copy(FList.begin() + index + 1, FList.begin() + FCount, FList.begin() + index);
    --FCount;
}

void TRectList::Exchange(std::int32_t index1, std::int32_t index2) {
    if (index1 < 0 || index1 >= FCount || index2 < 0 || index2 >= FCount)
        return;
    std::swap(FList[static_cast<std::size_t>(index1)], FList[static_cast<std::size_t>(index2)]);
}

void TRectList::Move(std::int32_t cur_index, std::int32_t new_index) {
    if (cur_index == new_index || cur_index < 0 || cur_index >= FCount || new_index < 0 || new_index >= FCount)
        return;
    const TRect rect = FList[static_cast<std::size_t>(cur_index)];
    Delete(cur_index);
    Insert(new_index, rect);
}

std::int32_t TRectList::IndexOf(const TRect& rect) const {
    for (std::int32_t i = 0; i < FCount; ++i)
        if (FList[static_cast<std::size_t>(i)] == rect)
            return i;
    return -1;
}

std::int32_t TRectList::Remove(const TRect& rect) {
    const std::int32_t index = IndexOf(rect);
    if (index >= 0)
        Delete(index);
    return index;
}

TRect* TRectList::Get(std::int32_t index) {
    return index < 0 || index >= FCount ? nullptr : &FList[static_cast<std::size_t>(index)];
}

const TRect* TRectList::Get(std::int32_t index) const {
    return index < 0 || index >= FCount ? nullptr : &FList[static_cast<std::size_t>(index)];
}

void TRectList::Clear() {
    FCount = 0;
    SetCapacity(10);
}

// Pack removes the entries Get answers nil for; every stored entry answers a rectangle, so none goes.
void TRectList::Pack() {}

void TRectList::SetCount(std::int32_t value) {
    if (value < 0)
        value = 0;
    if (value > Capacity())
        SetCapacity(value);
    if (value > FCount)
        std::fill(FList.begin() + FCount, FList.begin() + value, TRect{});
    FCount = value;
}

void TRectList::SetCapacity(std::int32_t value) {
    if (value < 0)
        value = 0;
    FList.resize(static_cast<std::size_t>(value));
    FList.shrink_to_fit();
    FCount = std::min(FCount, value);
}

// --- TClassList

std::int32_t TClassList::Add(TClass item) {
    FList.push_back(item);
    return Count() - 1;
}

void TClassList::Insert(std::int32_t index, TClass item) {
    if (index < 0 || index > Count())
        raise_list_index_error(index);
    FList.insert(FList.begin() + index, item);
}

std::int32_t TClassList::Remove(TClass item) {
    const std::int32_t index = IndexOf(item);
    if (index >= 0)
        FList.erase(FList.begin() + index);
    return index;
}

TClass TClassList::Extract(TClass item) {
    return Remove(item) >= 0 ? item : nullptr;
}

std::int32_t TClassList::IndexOf(TClass item) const {
    const auto it = std::find(FList.begin(), FList.end(), item);
    return it == FList.end() ? -1 : static_cast<std::int32_t>(it - FList.begin());
}

TClass TClassList::First() const {
    return GetItems(0);
}

TClass TClassList::Last() const {
    return GetItems(Count() - 1);
}

TClass TClassList::GetItems(std::int32_t index) const {
    if (index < 0 || index >= Count())
        raise_list_index_error(index);
    return FList[static_cast<std::size_t>(index)];
}

void TClassList::SetItems(std::int32_t index, TClass item) {
    if (index < 0 || index >= Count())
        raise_list_index_error(index);
    FList[static_cast<std::size_t>(index)] = item;
}

TClass TClassList::Find(StringView class_name) const {
    for (const TClass c : FList)
        if (c && c->ClassName == class_name)
            return c;
    return nullptr;
}

void TClassList::GetClassNames(std::vector<String>& strings) const {
    for (const TClass c : FList)
        strings.push_back(c ? c->ClassName : String());
}

// --- Property copy

property_kinds copyable_property_kinds() {
    property_kinds kinds;
    for (int k = 0; k <= static_cast<int>(property_kind::event); ++k)
        kinds.include(static_cast<property_kind>(k));
    return kinds.exclude(property_kind::event);
}

namespace {

bool is_object_kind(property_kind kind) {
    return kind == property_kind::persistent || kind == property_kind::collection || kind == property_kind::component;
}

TPersistent* object_of(const property_value& value) {
    if (const auto* p = std::get_if<TPersistent*>(&value))
        return *p;
    if (const auto* c = std::get_if<TComponent*>(&value))
        return *c;
    return nullptr;
}

std::int64_t ordinal_by_name(const property_info& info, const String& name) {
    const auto it = std::find(info.names.begin(), info.names.end(), name);
    return it == info.names.end() ? -1 : it - info.names.begin();
}

// Enumerations and sets travel by member names, so classes with differently ordered members still match.
std::optional<property_value> translate(const property_info& from, const property_info& to, const property_value& value) {
    if (from.kind == property_kind::enumeration) {
        const auto ordinal = std::get<std::int64_t>(value);
        if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= from.names.size())
            return std::nullopt;
        const std::int64_t target = ordinal_by_name(to, from.names[static_cast<std::size_t>(ordinal)]);
        return target < 0 ? std::nullopt : std::optional<property_value>(target);
    }
    if (from.kind == property_kind::set) {
        const auto bits = static_cast<std::uint64_t>(std::get<std::int64_t>(value));
        std::uint64_t result = 0;
        for (std::size_t i = 0; i < from.names.size() && i < 64; ++i)
            if (bits >> i & 1) {
                const std::int64_t target = ordinal_by_name(to, from.names[i]);
                if (target < 0)
                    return std::nullopt;
                result |= std::uint64_t{1} << target;
            }
        return property_value(static_cast<std::int64_t>(result));
    }
    return value;
}

} // namespace

void CopyPublishedProperties(const TPersistent* source, TPersistent* dest, property_kinds kinds) {
    if (!source || !dest)
        return;
    const property_table& dest_table = dest->PublishedProperties();
    for (const property_info* info : source->PublishedProperties().all()) {
        if (!kinds.contains(info->kind) || !info->get)
            continue;
        const property_info* target = dest_table.find(info->name);
        if (!target || target->kind != info->kind || !target->get)
            continue;
        const property_value value = info->get(*source);
        if (is_object_kind(info->kind)) {
            TPersistent* from = object_of(value);
            TPersistent* to = object_of(target->get(*dest));
            if (from && to)
                to->Assign(from);
        } else if (target->set) {
            if (const auto translated = translate(*info, *target, value))
                target->set(*dest, *translated);
        }
    }
}

} // namespace kq
