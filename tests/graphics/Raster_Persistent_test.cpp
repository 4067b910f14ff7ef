#include "graphics/Raster_Persistent.h"

#include "framework/Exceptions.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace kq;

namespace {

class TUnrelated : public TPersistent {};

// Reference-counted as the storage backends are; reports its destruction.
class TCounted : public TNotifiablePersistent {
public:
    explicit TCounted(bool& destroyed) : FDestroyed(destroyed) { SetRefCounted(); }
    ~TCounted() override { FDestroyed = true; }

private:
    bool& FDestroyed;
};

// Takes and drops references while it is built, as a storage backend does when it installs itself in
// its bitmap; Kept references stay taken.
class TCountedInConstructor : public TCounted {
public:
    TCountedInConstructor(bool& destroyed, int kept) : TCounted(destroyed) {
        AddRef();
        void* found = nullptr;
        QueryInterface(IID_IInterface, &found);
        Release();
        Release();
        for (int i = 0; i < kept; ++i)
            AddRef();
    }
};

} // namespace

TEST(RasterPersistent, NestedUpdatesSuppressChangeUntilTheLastEnd) {
    TNotifiablePersistent object;
    std::vector<TObject*> senders;
    object.OnChange = [&](TObject* sender) { senders.push_back(sender); };
    object.BeginUpdate();
    object.BeginUpdate();
    object.EndUpdate();
    object.Changed();
    EXPECT_TRUE(senders.empty());
    object.EndUpdate();
    EXPECT_TRUE(senders.empty()); // EndUpdate itself reports nothing
    object.Changed();
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &object);
    object.OnChange = nullptr;
    object.Changed();
}

TEST(RasterPersistent, UnpairedEndUpdateRaises) {
    TNotifiablePersistent object;
    EXPECT_EQ(raised_message<Exception>([&] { object.EndUpdate(); }), u"Unpaired TThreadPersistent.EndUpdate");
    EXPECT_THROW(object.EndUpdate(), EAssertionFailed);
    EXPECT_EQ(object.UpdateCount(), 0);
    object.BeginUpdate();
    object.EndUpdate();
    EXPECT_EQ(object.UpdateCount(), 0);
}

TEST(RasterPersistent, PlainObjectIgnoresReferenceCounting) {
    TNotifiablePersistent object;
    EXPECT_EQ(object.RefCount(), 0);
    EXPECT_EQ(object.AddRef(), -1);
    EXPECT_EQ(object.Release(), -1);
    EXPECT_EQ(object.Release(), -1);
    EXPECT_EQ(object.RefCount(), 0);
    object.BeforeDestruction();
}

TEST(RasterPersistent, LastReleaseFreesACountedObject) {
    bool destroyed = false;
    auto* object = new_object<TCounted>(destroyed);
    EXPECT_EQ(object->RefCount(), 0);
    EXPECT_EQ(object->AddRef(), 1);
    void* found = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IInterface, &found), 0); // takes a reference
    EXPECT_EQ(found, static_cast<IInterface*>(object));
    EXPECT_EQ(object->RefCount(), 2);
    EXPECT_EQ(raised_message<Exception>([&] { object->BeforeDestruction(); }), u"Unmatched reference counting.");
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->Release(), 1);
    EXPECT_EQ(object->Release(), 0);
    EXPECT_TRUE(destroyed);
}

TEST(RasterPersistent, ReferencesTakenAndDroppedDuringConstructionDoNotFreeTheObject) {
    for (const int kept : {0, 1, 2}) {
        SCOPED_TRACE(kept);
        bool destroyed = false;
        auto* object = new_object<TCountedInConstructor>(destroyed, kept);
        EXPECT_FALSE(destroyed);
        EXPECT_EQ(object->RefCount(), kept);
        if (kept == 0) {
            object->BeforeDestruction();
            delete object;
            continue;
        }
        for (int i = kept; i > 0; --i)
            EXPECT_EQ(object->Release(), i - 1);
        EXPECT_TRUE(destroyed);
    }
}

TEST(RasterPersistent, QueryInterfaceOfAnUnknownInterface) {
    TNotifiablePersistent object;
    void* found = &object;
    const TGUID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(object.QueryInterface(other, &found), static_cast<std::int32_t>(0x80004002u));
    EXPECT_EQ(found, nullptr);
}

TEST(RasterPersistent, LockIsReentrantAndCountsWaiters) {
    TThreadPersistent object;
    object.Lock();
    object.Lock();
    EXPECT_EQ(object.LockCount(), 2);
    object.Unlock();
    std::thread other([&] {
        object.Lock();
        object.Unlock();
    });
    // The waiting thread is counted before it gets the lock.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (object.LockCount() < 2 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::yield();
    EXPECT_EQ(object.LockCount(), 2);
    object.Unlock();
    other.join();
    EXPECT_EQ(object.LockCount(), 0);
}

TEST(RasterCustomMap, SetSizeNotifiesOnlyRealChanges) {
    TCustomMap map;
    std::vector<std::string> events;
    map.OnChange = [&](TObject*) { events.push_back("change"); };
    map.OnResize = [&](TObject*) { events.push_back("resize"); };
    EXPECT_TRUE(map.SetSize(-5, 10));
    EXPECT_EQ(map.Width(), 0);
    EXPECT_EQ(map.Height(), 10);
    EXPECT_EQ(events, (std::vector<std::string>{"change", "resize"}));
    EXPECT_TRUE(map.Empty());
    events.clear();
    EXPECT_FALSE(map.SetSize(0, 10));
    EXPECT_FALSE(map.SetSize(-1, 10));
    EXPECT_TRUE(events.empty());
    map.SetWidth(4);
    map.SetHeight(3);
    EXPECT_EQ(map.Width(), 4);
    EXPECT_EQ(map.Height(), 3);
    EXPECT_FALSE(map.Empty());
    map.Delete();
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(map.Height(), 0);
}

TEST(RasterCustomMap, SetSizeFromSources) {
    const TCustomMap source(7, 9);
    TCustomMap map(1, 1);
    EXPECT_TRUE(map.SetSizeFrom(&source));
    EXPECT_EQ(map.Width(), 7);
    EXPECT_EQ(map.Height(), 9);
    EXPECT_FALSE(map.SetSizeFrom(&source));

    TUnrelated unrelated;
    EXPECT_EQ(raised_message<Exception>([&] { map.SetSizeFrom(&unrelated); }), u"Can't set size from 'TUnrelated'");
    EXPECT_EQ(map.Width(), 7);

    // A framework object with a size, through the visual half's hook.
    const size_of_object_proc installed =
        set_size_of_object([](const TPersistent* s) -> std::optional<std::pair<std::int32_t, std::int32_t>> {
            if (dynamic_cast<const TUnrelated*>(s))
                return std::pair{3, 2};
            return std::nullopt;
        });
    EXPECT_TRUE(map.SetSizeFrom(&unrelated));
    EXPECT_EQ(map.Width(), 3);
    set_size_of_object(installed);

    EXPECT_TRUE(map.SetSizeFrom(nullptr));
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(map.Width(), 0);
}
