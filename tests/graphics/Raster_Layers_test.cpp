#include "graphics/Raster_Layers.h"

#include "framework/Exceptions.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kq;

namespace {

// Records every event of a collection as one line of text.
struct recording_collection {
    std::vector<std::string> events; // outlives the collection, which reports its layers' end
    TLayerCollection layers{nullptr};

    recording_collection() {
        layers.OnListNotify = [this](TObject*, TLayerListNotification a, TCustomLayer* l, std::int32_t i) {
            static const char* const names[] = {"added", "inserted", "deleted", "cleared"};
            events.push_back(std::string(names[a]) + (l ? "" : " nil") + " " + std::to_string(i));
        };
        layers.OnLayerUpdated = [this](TObject*, TCustomLayer*) { events.push_back("updated"); };
        layers.OnAreaUpdated = [this](TObject*, const TRect& r, std::uint32_t) {
            events.push_back("area " + std::to_string(r.Left) + "," + std::to_string(r.Top));
        };
        layers.OnChanging = [this](TObject*) { events.push_back("changing"); };
        layers.OnChange = [this](TObject*) { events.push_back("change"); };
        layers.OnGDIUpdate = [this](TObject*) { events.push_back("gdi"); };
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }
};

using strings = std::vector<std::string>;

} // namespace

TEST(RasterLayers, NotificationSequence) {
    recording_collection c;
    TCustomLayer* a = c.layers.Add(&custom_layer_class);
    EXPECT_EQ(c.take(), (strings{"added 0", "added 0"}));
    EXPECT_EQ(a->LayerOptions(), layer_visible);
    EXPECT_EQ(a->LayerCollection(), &c.layers);

    c.layers.Add(&custom_layer_class);
    c.take();
    TCustomLayer* inserted = c.layers.Insert(0, &custom_layer_class);
    EXPECT_EQ(c.take(), (strings{"changing", "added 2", "added 2", "inserted 0", "change"}));
    EXPECT_EQ(inserted->Index(), 0);
    EXPECT_EQ(a->Index(), 1);

    c.layers.Delete(1);
    EXPECT_EQ(c.take(), (strings{"deleted 1"}));
    ASSERT_EQ(c.layers.Count(), 2);

    c.layers.Clear();
    EXPECT_EQ(c.take(), (strings{"changing", "deleted 1", "deleted 0", "cleared nil 0", "change"}));
    EXPECT_EQ(c.layers.Count(), 0);
    EXPECT_EQ(raised_message<EListError>([&] { c.layers.Items(0); }), u"List index out of bounds (0)");
    EXPECT_EQ(raised_message<EAssertionFailed>([&] { c.layers.EndUpdate(); }), u"Unpaired EndUpdate");
}

TEST(RasterLayers, IndexIsClampedIntoTheList) {
    recording_collection c;
    TCustomLayer* layers[4];
    for (TCustomLayer*& l : layers)
        l = c.layers.Add(&custom_layer_class);
    c.take();
    struct row { TCustomLayer* layer; std::int32_t index, expected; };
    const row rows[] = {{layers[2], -5, 0}, {layers[1], 4 + 3, 3}, {layers[0], 2, 2}, {layers[0], 2, 2}};
    for (const row& r : rows) {
        r.layer->SetIndex(r.index);
        EXPECT_EQ(r.layer->Index(), r.expected) << r.index;
    }
    layers[3]->BringToFront();
    EXPECT_EQ(layers[3]->Index(), 3);
    layers[3]->SendToBack();
    EXPECT_EQ(layers[3]->Index(), 0);
    // A visible layer's move is bracketed as one change.
    EXPECT_EQ(c.take(), (strings{"changing", "change", "changing", "change", "changing", "change", "changing",
                                 "change", "changing", "change"}));
    TCustomLayer loose(nullptr);
    loose.SetIndex(3);
    EXPECT_EQ(loose.Index(), -1);
}

TEST(RasterLayers, HidingReportsTheLayerOnceAndSuppressedLayersStaySilent) {
    recording_collection c;
    TCustomLayer* layer = c.layers.Add(&custom_layer_class);
    c.take();
    layer->SetVisible(false);
    EXPECT_EQ(c.take(), (strings{"changing", "updated", "change"}));
    EXPECT_FALSE(layer->Visible());
    EXPECT_EQ(layer->LayerOptions(), 0u); // the force-update bit is gone again

    // Hidden: no longer reported, but a GDI overlay layer asks for a GDI update.
    layer->SetMouseEvents(true);
    EXPECT_EQ(c.take(), strings{});
    layer->SetLayerOptions(layer_gdi_overlay);
    EXPECT_EQ(c.take(), (strings{"gdi"}));

    layer->SetVisible(true);
    c.take();
    layer->Changed({7, 8, 9, 10});
    EXPECT_EQ(c.take(), (strings{"area 7,8", "change", "change"}));

    layer->SetLayerOptions(layer_visible | layer_no_update);
    c.take();
    layer->SetLayerOptions(layer_visible | layer_no_update | layer_mouse_events);
    layer->Changed();
    layer->Changed({1, 1, 2, 2});
    EXPECT_EQ(c.take(), strings{});
}

TEST(RasterLayers, LayersMoveBetweenCollectionsAndAnnounceTheirEnd) {
    recording_collection first, second;
    TCustomLayer* layer = first.layers.Add(&custom_layer_class);
    TCustomLayer* watcher = first.layers.Add(&custom_layer_class);
    first.take();
    layer->SetLayerCollection(&second.layers);
    EXPECT_EQ(first.take(), (strings{"deleted 0"}));
    EXPECT_EQ(second.take(), (strings{"added 0"}));

    bool destroyed = false;
    layer->OnDestroy = [&](TObject* s) { destroyed = s == layer; };
    second.layers.SetMouseListener(layer);
    layer->SetLayerStates({lsMouseLeft});
    struct notified_layer : TCustomLayer {
        using TCustomLayer::TCustomLayer;
        TCustomLayer* gone = nullptr;
        void Notification(TCustomLayer* l) override { gone = l; }
    };
    notified_layer notified(nullptr);
    layer->AddNotification(&notified);
    second.layers.Delete(0);
    EXPECT_TRUE(destroyed);
    EXPECT_NE(notified.gone, nullptr);
    EXPECT_EQ(second.layers.MouseListener(), nullptr);
    EXPECT_EQ(first.layers.Items(0), watcher);
}

TEST(RasterLayers, ViewportMapping) {
    TLayerCollection layers(nullptr);
    EXPECT_EQ(layers.LocalToViewport({3, 4}, true), (TFloatPoint{3, 4}));
    layers.OnGetViewportScale = [](TObject*, float& x, float& y) { x = 2, y = 4; };
    layers.OnGetViewportShift = [](TObject*, float& x, float& y) { x = 10, y = 20; };
    EXPECT_EQ(layers.LocalToViewport({3, 4}, true), (TFloatPoint{16, 36}));
    EXPECT_EQ(layers.LocalToViewport({3, 4}, false), (TFloatPoint{3, 4}));
    EXPECT_EQ(layers.ViewportToLocal({16, 36}, true), (TFloatPoint{3, 4}));
}

#ifdef _WIN32
TEST(RasterLayers, ClicksAndDoubleClicksOfTheLeftButton) {
    TLayerCollection layers(nullptr);
    TCustomLayer* layer = layers.Add(&custom_layer_class);
    std::vector<std::string> seen;
    layer->OnClick = [&](TObject*) { seen.push_back("click"); };
    layer->OnDblClick = [&](TObject*) { seen.push_back("double"); };
    layer->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { seen.push_back("down"); };
    layer->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { seen.push_back("up"); };
    layer->MouseDown(TMouseButton::mbLeft, {}, 1, 1);
    layer->MouseUp(TMouseButton::mbLeft, {}, 1, 1);
    layer->MouseDown(TMouseButton::mbLeft, {TShiftStateFlag::ssDouble}, 1, 1);
    layer->MouseUp(TMouseButton::mbLeft, {}, 1, 1);
    layer->MouseDown(TMouseButton::mbRight, {}, 1, 1);
    layer->MouseUp(TMouseButton::mbRight, {}, 1, 1);
    EXPECT_EQ(seen, (strings{"down", "click", "up", "double", "down", "up", "down", "up"}));

    bool passed_in = false;
    layer->OnHitTest = [&](TObject*, std::int32_t, std::int32_t, bool& passed) {
        passed_in = passed;
        passed = false;
    };
    EXPECT_FALSE(layer->HitTest(3, 4));
    EXPECT_TRUE(passed_in); // a visible layer answers yes before the event
}
#endif
