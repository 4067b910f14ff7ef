#include "graphics/Raster_Bindings.h"

#include "framework/Exceptions.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics_test_support.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace kq;

namespace {

using int_proc = int (*)();
int form_a() { return 1; }
int form_b() { return 2; }
int form_c() { return 3; }
int form_d() { return 4; }

// A registry outside the library's list, so the tests can fill it freely.
struct registry_fixture : ::testing::Test {
    TFunctionRegistry registry;
    int_proc bound = nullptr;
    int_proc other = nullptr;
};

} // namespace

TEST_F(registry_fixture, LaterFeatureFreeRegistrationWins) {
    registry.RegisterBinding(7, &bound);
    registry.Add(7, form_a);
    registry.Add(7, form_b);
    registry.RebindAll();
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound(), 2);
}

TEST_F(registry_fixture, FormNeedingAMissingFeatureIsNeverBound) {
    test::simulated_processor processor({ciMMX});
    registry.RegisterBinding(7, &bound);
    registry.Add(7, form_a);
    registry.Add(7, form_b, {ciSSE2});
    registry.Add(7, form_c, {ciMMX});
    registry.Add(7, form_d, {ciMMX, ciSSE2});
    registry.RebindAll();
    EXPECT_EQ(bound(), 3);
}

TEST_F(registry_fixture, UnknownIdBindsNil) {
    registry.Add(1, form_a);
    EXPECT_EQ(registry.FindFunction(2), nullptr);
    registry.RegisterBinding(2, &bound);
    bound = form_a;
    registry.RebindAll();
    EXPECT_EQ(bound, nullptr);
}

TEST_F(registry_fixture, RebindTouchesOnlyItsId) {
    registry.RegisterBinding(1, &bound);
    registry.RegisterBinding(2, &other);
    registry.Add(1, form_a);
    registry.Add(2, form_b);
    registry.Rebind(1);
    EXPECT_EQ(bound, form_a);
    EXPECT_EQ(other, nullptr);
}

TEST_F(registry_fixture, PriorityCallbackDecides) {
    registry.RegisterBinding(1, &bound);
    registry.Add(1, form_a, {}, 3);
    registry.Add(1, form_b, {}, 1);
    registry.Add(1, form_c, {}, 2);
    // Smaller wins; the flags serve only as this test's priority.
    registry.RebindAll([](PFunctionInfo info) { return info->Flags; });
    EXPECT_EQ(bound(), 2);
    registry.RebindAll([](PFunctionInfo) { return NoPriority; });
    EXPECT_EQ(bound, nullptr);
}

TEST_F(registry_fixture, ItemsAndClear) {
    registry.Add(4, form_a, {ciSSE}, 9);
    ASSERT_EQ(registry.Count(), 1);
    const PFunctionInfo info = registry.GetItems(0);
    EXPECT_EQ(info->FunctionID, 4);
    EXPECT_EQ(info->CPUFeatures, TCPUFeatures({ciSSE}));
    EXPECT_EQ(info->Flags, 9);
    registry.SetItems(0, std::make_unique<TFunctionInfo>(
                             TFunctionInfo{4, reinterpret_cast<TFunctionProc>(form_d), {}, 0}));
    registry.RegisterBinding(4, &bound);
    registry.RebindAll();
    EXPECT_EQ(bound(), 4);
    registry.Clear();
    EXPECT_EQ(registry.Count(), 0);
    EXPECT_EQ(registry.FindFunction(4), nullptr);
}

TEST_F(registry_fixture, ItemsOutsideTheListRaiseTheListIndexError) {
    registry.Add(4, form_a);
    registry.Add(5, form_b);
    struct row { const char* name; std::function<void()> access; String message; };
    const row rows[] = {
        {"GetItems(-1)", [&] { registry.GetItems(-1); }, u"List index out of bounds (-1)"},
        {"GetItems(Count)", [&] { registry.GetItems(2); }, u"List index out of bounds (2)"},
        {"SetItems(Count)", [&] { registry.SetItems(2, std::make_unique<TFunctionInfo>()); },
         u"List index out of bounds (2)"},
        {"SetItems(-3)", [&] { registry.SetItems(-3, nullptr); }, u"List index out of bounds (-3)"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(raised_message<EListError>(r.access), r.message);
    }
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_EQ(registry.GetItems(1)->FunctionID, 5);
}

TEST(RasterBindings, RegistriesAreListedInStartUpOrder) {
    std::vector<String> names;
    for (const auto& registry : FunctionRegistries())
        names.push_back(registry->Name());
    EXPECT_EQ(names, (std::vector<String>{u"Raster_LowLevel bindings", u"Raster_Blend bindings",
                                          u"Raster_Transforms bindings", u"Raster_Resamplers bindings",
                                          u"Raster_MicroTiles bindings", u"Raster_Filters bindings"}));
}

TEST(RasterBindings, FillBindsPerProcessor) {
    const String name = u"Raster_LowLevel bindings";
    struct row { TCPUFeatures features; fill_dwords_proc expected; };
    const row rows[] = {
        {{}, fill_dwords_store_run},
        {{ciMMX}, fill_dwords_mmx},
        {{ciMMX, ciSSE, ciSSE2}, fill_dwords_sse2},
        {{ciSSE2}, fill_dwords_sse2},
    };
    for (const row& r : rows) {
        test::simulated_processor processor(r.features);
        EXPECT_EQ(FillDwords, r.expected) << int(r.features.Bits());
        EXPECT_EQ(CumulativeSum, r.features.Contains(ciSSE2) ? cumulative_sum_sse2 : cumulative_sum_portable);
    }
    EXPECT_EQ(test::registered_form<fill_dwords_proc>(name, FID_FILLDWORDS, 0), fill_dwords_portable);
    EXPECT_EQ(FillDwords, fill_dwords_sse2);
}
