#include "graphics/Raster_Containers.h"

#include "framework/Exceptions.h"
#include "framework/Properties.h"
#include "graphics/Raster_OrdinalMaps.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

using namespace kq;

namespace {

void* fake_pointer(std::uintptr_t address) {
    return reinterpret_cast<void*>(address);
}

// Counts the data handed to Delete, as the micro-tile map frees it.
class counting_map : public TPointerMap {
public:
    ~counting_map() override { Clear(); }
    std::vector<void*> deleted;

protected:
    void* Delete(std::int32_t bucketIndex, std::int32_t itemIndex) override {
        void* data = TPointerMap::Delete(bucketIndex, itemIndex);
        deleted.push_back(data);
        return data;
    }
};

} // namespace

TEST(RasterPointerMap, AddingTwiceKeepsOneEntry) {
    TPointerMap map;
    int a = 0, data1 = 0, data2 = 0;
    bool is_new = false;
    const PPData slot = map.Add(&a, &data1, is_new);
    EXPECT_TRUE(is_new);
    const PPData again = map.Add(&a, &data2, is_new);
    EXPECT_FALSE(is_new);
    EXPECT_EQ(slot, again);
    EXPECT_EQ(*again, &data1); // the existing data stays
    EXPECT_EQ(map.Count(), 1);
    EXPECT_TRUE(map.Contains(&a));
    EXPECT_EQ(map.GetData(&a), &data1);
    map.SetData(&a, &data2);
    PPData found = nullptr;
    EXPECT_TRUE(map.Find(&a, found));
    EXPECT_EQ(*found, &data2);
}

TEST(RasterPointerMap, ItemsSharingABucketAreFoundByAddress) {
    TPointerMap map;
    // The same bucket: equal bits 8 to 15.
    const std::vector<void*> items{fake_pointer(0x10000100), fake_pointer(0x20000100), fake_pointer(0x30000100),
                                   fake_pointer(0x40000100), fake_pointer(0x50000100), fake_pointer(0x60000100)};
    for (std::size_t i = 0; i < items.size(); ++i)
        map.Add(items[i], fake_pointer(i + 1));
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(map.GetData(items[i]), fake_pointer(i + 1));
    EXPECT_EQ(map.Remove(items[2]), fake_pointer(3));
    EXPECT_EQ(map.Remove(items[2]), nullptr);
    EXPECT_EQ(map.GetData(items[5]), fake_pointer(6)); // later entries moved down
    EXPECT_EQ(map.Count(), 5);
}

TEST(RasterPointerMap, MissingItemRaises) {
    TPointerMap map;
    try {
        map.GetData(fake_pointer(0xABC));
        FAIL() << "nothing raised";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), u"Item not found ($0ABC)");
    }
    EXPECT_THROW(map.SetData(fake_pointer(0xABC), nullptr), EListError);
}

TEST(RasterPointerMap, IteratorVisitsEveryEntryOnce) {
    TPointerMap map;
    std::set<void*> added;
    // Bucket 255 included, and crowded buckets that grow several times.
    for (std::uintptr_t i = 0; i < 1500; ++i) {
        void* item = fake_pointer(0x100000 + i * 0x1100 + (i % 7) * 0x100);
        map.Add(item, item);
        added.insert(item);
    }
    map.Add(fake_pointer(0xFF00), fake_pointer(0xFF00));
    added.insert(fake_pointer(0xFF00));
    std::set<void*> seen;
    TPointerMapIterator it(map);
    while (it.Next()) {
        EXPECT_TRUE(seen.insert(it.Item()).second) << it.Item();
        EXPECT_EQ(it.Data(), it.Item());
    }
    EXPECT_EQ(seen, added);
    EXPECT_FALSE(it.Next());

    TPointerMap only_last;
    only_last.Add(fake_pointer(0x12FF00), fake_pointer(1));
    TPointerMapIterator last(only_last);
    ASSERT_TRUE(last.Next());
    EXPECT_EQ(last.Item(), fake_pointer(0x12FF00));
    EXPECT_FALSE(last.Next());
}

TEST(RasterPointerMap, IteratorSurvivesRemovalBetweenSteps) {
    // 40 items in bucket 1, 40 in bucket 2, a few in bucket 200.
    const auto fill = [](TPointerMap& map, std::set<void*>& added) {
        for (std::uintptr_t i = 0; i < 40; ++i)
            for (std::uintptr_t bucket : {1u, 2u})
                added.insert(fake_pointer(bucket * 0x100 + i * 0x10000));
        for (std::uintptr_t i = 0; i < 3; ++i)
            added.insert(fake_pointer(200 * 0x100 + i * 0x10000));
        for (void* item : added)
            map.Add(item, item);
    };
    struct row {
        const char* name;
        void (*remove)(TPointerMap& map, void* current);
        bool visits_all; // removing only the current entry must still visit every entry once
    };
    const row rows[] = {
        {"the current entry", [](TPointerMap& map, void* current) { map.Remove(current); }, true},
        {"the whole bucket", [](TPointerMap& map, void* current) {
             const std::uintptr_t low = reinterpret_cast<std::uintptr_t>(current) & 0xFFFF;
             for (std::uintptr_t i = 0; i < 40; ++i)
                 map.Remove(fake_pointer(low + i * 0x10000));
         }, false},
        {"everything", [](TPointerMap& map, void*) { map.Clear(); }, false},
        {"the lower half of the bucket", [](TPointerMap& map, void* current) {
             const std::uintptr_t low = reinterpret_cast<std::uintptr_t>(current) & 0xFFFF;
             for (std::uintptr_t i = 0; i < 20; ++i)
                 map.Remove(fake_pointer(low + i * 0x10000));
         }, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TPointerMap map;
        std::set<void*> added;
        fill(map, added);
        std::multiset<void*> seen;
        TPointerMapIterator it(map);
        int steps = 0;
        while (it.Next() && ++steps < 1000) {
            ASSERT_TRUE(added.count(it.Item())) << it.Item();
            seen.insert(it.Item());
            r.remove(map, it.Item());
        }
        EXPECT_LT(steps, 1000);
        EXPECT_FALSE(it.Next());
        if (r.visits_all) {
            EXPECT_EQ(std::set<void*>(seen.begin(), seen.end()), added);
            EXPECT_EQ(seen.size(), added.size());
            EXPECT_EQ(map.Count(), 0);
        }
    }
}

TEST(RasterPointerMap, ClearHandsEveryDataToDelete) {
    counting_map map;
    for (std::uintptr_t i = 1; i <= 20; ++i)
        map.Add(fake_pointer(i * 0x100), fake_pointer(i));
    map.Clear();
    EXPECT_EQ(map.Count(), 0);
    EXPECT_EQ(map.deleted.size(), 20u);
    EXPECT_FALSE(map.Contains(fake_pointer(0x100)));
    map.Add(fake_pointer(0x100));
    EXPECT_EQ(map.Count(), 1);
}

TEST(RasterRectList, GrowsInStepsAndAnswersNilOutsideItsEntries) {
    TRectList list;
    list.Add({1, 1, 2, 2});
    EXPECT_EQ(list.Capacity(), 8);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(1), nullptr);
    ASSERT_NE(list.Get(0), nullptr);
    list.Clear();
    EXPECT_EQ(list.Capacity(), 10);
    EXPECT_EQ(list.Count(), 0);
    for (int i = 0; i < 10; ++i)
        list.Add({i, 0, i + 1, 1});
    EXPECT_EQ(list.Capacity(), 10);
    EXPECT_EQ(list.Add({10, 0, 11, 1}), 10);
    EXPECT_EQ(list.Capacity(), 42);
    while (list.Count() < 129)
        list.Add({});
    EXPECT_EQ(list.Capacity(), 138); // 106 + 32, then a quarter above 128
    EXPECT_EQ(*list.Get(10), (TRect{10, 0, 11, 1}));
}

TEST(RasterRectList, EditingOperations) {
    TRectList list;
    const TRect a{0, 0, 1, 1}, b{1, 1, 2, 2}, c{2, 2, 3, 3};
    list.Add(a);
    list.Add(b);
    list.Insert(0, c); // c a b
    EXPECT_EQ(list.IndexOf(a), 1);
    list.Exchange(0, 2); // b a c
    EXPECT_EQ(*list.Get(0), b);
    list.Move(0, 2); // a c b
    EXPECT_EQ(*list.Get(2), b);
    EXPECT_EQ(list.Remove(c), 1);
    EXPECT_EQ(list.Remove(c), -1);
    EXPECT_EQ(list.Count(), 2);
    // Indexes outside the entries change nothing.
    list.Delete(5);
    list.Delete(-1);
    list.Insert(9, c);
    list.Exchange(0, 7);
    list.Move(-1, 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(*list.Get(0), a);
    EXPECT_EQ(*list.Get(1), b);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);

    list.SetCount(5);
    EXPECT_EQ(list.Capacity(), 8);
    EXPECT_EQ(*list.Get(4), (TRect{}));
    list.SetCount(20);
    EXPECT_EQ(list.Capacity(), 20);
    list.SetCount(1);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(*list.Get(0), a);
}

TEST(RasterClassList, FindIsCaseSensitive) {
    const class_info first{u"TFirst"}, second{u"TSecond"}, twin{u"TFirst"};
    TClassList list;
    list.Add(&first);
    list.Add(&second);
    list.Add(&twin);
    EXPECT_EQ(list.Find(u"TFirst"), &first);
    EXPECT_EQ(list.Find(u"tfirst"), nullptr);
    EXPECT_EQ(list.Find(u"TThird"), nullptr);
    std::vector<String> names{u"before"};
    list.GetClassNames(names);
    EXPECT_EQ(names, (std::vector<String>{u"before", u"TFirst", u"TSecond", u"TFirst"}));
    EXPECT_EQ(list.First(), &first);
    EXPECT_EQ(list.Last(), &twin);
    EXPECT_EQ(list.Extract(&first), &first);
    EXPECT_EQ(list.Find(u"TFirst"), &twin);
    EXPECT_EQ(list.Extract(&first), nullptr);
    list.Insert(0, &first);
    EXPECT_EQ(list.IndexOf(&first), 0);
    list.SetItems(1, &twin);
    EXPECT_EQ(list.GetItems(1), &twin);
    try {
        list.GetItems(3);
        FAIL() << "nothing raised";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), u"List index out of bounds (3)");
    }
}

TEST(RasterClassList, FirstAndLastOfAnEmptyListRaiseAsThePointerList) {
    const TClassList list;
    EXPECT_EQ(raised_message<EListError>([&] { list.First(); }), u"List index out of bounds (0)");
    EXPECT_EQ(raised_message<EListError>([&] { list.Last(); }), u"List index out of bounds (-1)");
}

TEST(RasterIntegerMap, ClearAndIndexing) {
    TIntegerMap map(3, 2);
    int changes = 0;
    map.OnChange = [&](TObject*) { ++changes; };
    map.Clear(7);
    EXPECT_EQ(changes, 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(map.Bits()[i], 7);
    map.Bits()[5] = 42;
    EXPECT_EQ(map.Value(2, 1), 42);
    map.SetValue(0, 1, -3);
    EXPECT_EQ(map.Scanline(1)[0], -3);
    EXPECT_EQ(map.ValPtr(1, 1), map.Bits() + 4);
    EXPECT_FALSE(map.Empty());
    map.Delete();
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(map.Bits(), nullptr);
    map.Clear(1); // nothing to fill
}

TEST(RasterIntegerMap, AssignCopiesAndReportsOnce) {
    TIntegerMap source(2, 2);
    source.Clear(5);
    source.SetValue(1, 1, 9);
    TIntegerMap map;
    int changes = 0;
    map.OnChange = [&](TObject*) { ++changes; };
    map.Assign(&source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(map.Width(), 2);
    EXPECT_EQ(map.Value(0, 0), 5);
    EXPECT_EQ(map.Value(1, 1), 9);

    // A failed assignment still ends the update and reports.
    const TCustomMap unrelated(1, 1);
    EXPECT_THROW(map.Assign(&unrelated), EConvertError);
    EXPECT_EQ(map.UpdateCount(), 0);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(map.Value(1, 1), 9);
}

// --- Property copy

namespace {

enum class shade : std::uint8_t { light, dark };
enum class tone : std::uint8_t { dark, medium, light }; // the same names in another order
enum class part : std::uint8_t { top, left, bottom };

class TInner : public TPersistent {
public:
    std::int32_t FSize = 0;
    void Assign(const TPersistent* source) override {
        if (const auto* inner = dynamic_cast<const TInner*>(source))
            FSize = inner->FSize;
        else
            TPersistent::Assign(source);
    }
    const property_table& PublishedProperties() const override {
        static const property_table table =
            property_table::of<TInner>(TPersistent::PublishedProperties()).integer(u"Size", &TInner::FSize, &TInner::FSize);
        return table;
    }
};

class TSourceThing : public TPersistent {
public:
    std::int32_t FWidth = 0;
    String FCaption;
    shade FShade = shade::light;
    enum_set<part> FParts;
    std::unique_ptr<TInner> FInner = std::make_unique<TInner>();
    std::int32_t FOnlyHere = 0;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSourceThing>(TPersistent::PublishedProperties())
            .integer(u"Width", &TSourceThing::FWidth, &TSourceThing::FWidth)
            .string(u"Caption", &TSourceThing::FCaption, &TSourceThing::FCaption)
            .enumeration(u"Shade", &TSourceThing::FShade, &TSourceThing::FShade, {u"light", u"dark"})
            .set_of(u"Parts", &TSourceThing::FParts, &TSourceThing::FParts, {u"top", u"left", u"bottom"})
            .persistent(u"Inner", [](const TSourceThing& o) { return o.FInner.get(); })
            .integer(u"OnlyHere", &TSourceThing::FOnlyHere, &TSourceThing::FOnlyHere);
        return table;
    }
};

class TDestThing : public TPersistent {
public:
    std::int32_t FWidth = 0;
    String FCaption;
    tone FShade = tone::medium;
    enum_set<part> FParts;
    std::unique_ptr<TInner> FInner = std::make_unique<TInner>();
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TDestThing>(TPersistent::PublishedProperties())
            .integer(u"Width", &TDestThing::FWidth, &TDestThing::FWidth)
            .string(u"Caption", &TDestThing::FCaption, &TDestThing::FCaption)
            .enumeration(u"Shade", &TDestThing::FShade, &TDestThing::FShade, {u"dark", u"medium", u"light"})
            .set_of(u"Parts", &TDestThing::FParts, &TDestThing::FParts, {u"top", u"left", u"bottom"})
            .persistent(u"Inner", [](const TDestThing& o) { return o.FInner.get(); });
        return table;
    }
};

} // namespace

TEST(RasterCopyPublishedProperties, CopiesByNameAcrossClasses) {
    TSourceThing source;
    source.FWidth = 12;
    source.FCaption = u"Label";
    source.FShade = shade::dark;
    source.FParts = {part::left, part::bottom};
    source.FInner->FSize = 5;
    source.FOnlyHere = 3;
    TDestThing dest;
    CopyPublishedProperties(&source, &dest, copyable_property_kinds());
    EXPECT_EQ(dest.FWidth, 12);
    EXPECT_EQ(dest.FCaption, u"Label");
    EXPECT_EQ(dest.FShade, tone::dark); // by name, not by ordinal
    EXPECT_EQ(dest.FParts, (enum_set<part>{part::left, part::bottom}));
    EXPECT_EQ(dest.FInner->FSize, 5);

    TDestThing only_strings;
    CopyPublishedProperties(&source, &only_strings, property_kinds{property_kind::string});
    EXPECT_EQ(only_strings.FCaption, u"Label");
    EXPECT_EQ(only_strings.FWidth, 0);
    EXPECT_EQ(only_strings.FInner->FSize, 0);
}
