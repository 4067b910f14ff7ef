#include "tabs/PageTabsOptions.h"

#include "framework/Conversions.h"
#include "framework/Properties.h"
#include "tests/tabs/PropertyPath.h"
#include "tests/tabs/RecordingStrip.h"

#include <gtest/gtest.h>

#include <vector>

namespace kq::test {
namespace {

using enum TTabChangeType;

// A value as component text would show it.
String value_text(TPersistent& root, StringView path) {
    const located at = locate(root, path);
    const property_value value = at.info->get(*at.object);
    switch (at.info->kind) {
    case property_kind::boolean:
        return std::get<std::int64_t>(value) ? u"True" : u"False";
    case property_kind::enumeration:
        return at.info->names.at(static_cast<std::size_t>(std::get<std::int64_t>(value)));
    case property_kind::floating:
        return FloatToStr(std::get<double>(value));
    default:
        return IntToStr(std::get<std::int64_t>(value));
    }
}

struct default_row {
    const char16_t* path;
    const char16_t* class_value;
    const char16_t* strip_value;
};

const default_row defaults[] = {
    {u"Display.CloseButton.Offsets.Vertical", u"6", u"6"},
    {u"Display.CloseButton.Offsets.Horizontal", u"0", u"2"},
    {u"Display.CloseButton.Height", u"13", u"14"},
    {u"Display.CloseButton.Width", u"13", u"14"},
    {u"Display.CloseButton.AutoHide", u"True", u"True"},
    {u"Display.CloseButton.Visibility", u"bvAll", u"bvAll"},
    {u"Display.CloseButton.AutoHideWidth", u"20", u"20"},
    {u"Display.CloseButton.CrossRadialOffset", u"4", u"4"},
    {u"Display.AddButton.Offsets.Vertical", u"9", u"10"},
    {u"Display.AddButton.Offsets.Horizontal", u"0", u"2"},
    {u"Display.AddButton.Height", u"14", u"14"},
    {u"Display.AddButton.Width", u"25", u"31"},
    {u"Display.AddButton.ShowPlusSign", u"True", u"False"},
    {u"Display.AddButton.Visibility", u"avRightFloating", u"avRightFloating"},
    {u"Display.AddButton.HorizontalOffsetFloating", u"0", u"-3"},
    {u"Display.ScrollButtonLeft.Offsets.Vertical", u"10", u"10"},
    {u"Display.ScrollButtonLeft.Offsets.Horizontal", u"0", u"1"},
    {u"Display.ScrollButtonLeft.Height", u"15", u"15"},
    {u"Display.ScrollButtonLeft.Width", u"15", u"15"},
    {u"Display.ScrollButtonRight.Offsets.Vertical", u"10", u"10"},
    {u"Display.ScrollButtonRight.Offsets.Horizontal", u"0", u"1"},
    {u"Display.ScrollButtonRight.Height", u"15", u"15"},
    {u"Display.ScrollButtonRight.Width", u"15", u"15"},
    {u"Display.TabModifiedGlow.Style", u"msRightToLeft", u"msRightToLeft"},
    {u"Display.TabModifiedGlow.VerticalOffset", u"-6", u"-6"},
    {u"Display.TabModifiedGlow.Height", u"30", u"30"},
    {u"Display.TabModifiedGlow.Width", u"100", u"100"},
    {u"Display.TabModifiedGlow.AnimationPeriodMS", u"4000", u"4000"},
    {u"Display.TabModifiedGlow.EaseType", u"ttEaseInOutQuad", u"ttEaseInOutQuad"},
    {u"Display.TabModifiedGlow.AnimationUpdateMS", u"50", u"50"},
    {u"Display.Tabs.SeeThroughTabs", u"False", u"False"},
    {u"Display.Tabs.TabOverlap", u"15", u"15"},
    {u"Display.Tabs.ContentOffsetLeft", u"18", u"18"},
    {u"Display.Tabs.ContentOffsetRight", u"16", u"16"},
    {u"Display.Tabs.OffsetLeft", u"0", u"0"},
    {u"Display.Tabs.OffsetTop", u"0", u"4"},
    {u"Display.Tabs.OffsetRight", u"0", u"0"},
    {u"Display.Tabs.OffsetBottom", u"0", u"0"},
    {u"Display.Tabs.MinWidth", u"20", u"25"},
    {u"Display.Tabs.MaxWidth", u"200", u"200"},
    {u"Display.Tabs.TabWidthFromContent", u"False", u"False"},
    {u"Display.Tabs.PinnedWidth", u"39", u"39"},
    {u"Display.Tabs.ImageOffsetLeft", u"13", u"13"},
    {u"Display.Tabs.TextTrimType", u"tttFade", u"tttFade"},
    {u"Display.Tabs.Orientation", u"toTop", u"toTop"},
    {u"Display.Tabs.BaseLineTabRegionOnly", u"False", u"False"},
    {u"Display.Tabs.WordWrap", u"False", u"False"},
    {u"Display.Tabs.TextAlignmentHorizontal", u"taLeftJustify", u"taLeftJustify"},
    {u"Display.Tabs.TextAlignmentVertical", u"taVerticalCenter", u"taVerticalCenter"},
    {u"Display.Tabs.ShowImages", u"True", u"True"},
    {u"Display.Tabs.ShowPinnedTabText", u"False", u"False"},
    {u"Display.TabContainer.TransparentBackground", u"False", u"True"},
    {u"Display.TabContainer.OverlayButtons", u"False", u"True"},
    {u"Display.TabContainer.PaddingLeft", u"0", u"0"},
    {u"Display.TabContainer.PaddingRight", u"0", u"0"},
    {u"Display.TabMouseGlow.Offsets.Vertical", u"0", u"0"},
    {u"Display.TabMouseGlow.Offsets.Horizontal", u"0", u"0"},
    {u"Display.TabMouseGlow.Height", u"70", u"200"},
    {u"Display.TabMouseGlow.Width", u"70", u"200"},
    {u"Display.TabMouseGlow.Visible", u"True", u"True"},
    {u"Display.TabSpinners.Upload.ReverseDirection", u"True", u"True"},
    {u"Display.TabSpinners.Upload.RenderedAnimationStep", u"2", u"2"},
    {u"Display.TabSpinners.Upload.Position.Offsets.Vertical", u"0", u"0"},
    {u"Display.TabSpinners.Upload.Position.Offsets.Horizontal", u"0", u"0"},
    {u"Display.TabSpinners.Upload.Position.Height", u"16", u"16"},
    {u"Display.TabSpinners.Upload.Position.Width", u"16", u"16"},
    {u"Display.TabSpinners.Upload.SweepAngle", u"135", u"135"},
    {u"Display.TabSpinners.Download.ReverseDirection", u"False", u"False"},
    {u"Display.TabSpinners.Download.RenderedAnimationStep", u"5", u"5"},
    {u"Display.TabSpinners.Download.Position.Offsets.Vertical", u"0", u"0"},
    {u"Display.TabSpinners.Download.Position.Offsets.Horizontal", u"0", u"0"},
    {u"Display.TabSpinners.Download.Position.Height", u"16", u"16"},
    {u"Display.TabSpinners.Download.Position.Width", u"16", u"16"},
    {u"Display.TabSpinners.Download.SweepAngle", u"135", u"135"},
    {u"Display.TabSpinners.AnimationUpdateMS", u"50", u"50"},
    {u"Display.TabSpinners.HideImagesWhenSpinnerVisible", u"True", u"True"},
    {u"DragDrop.DragType", u"dtBetweenContainers", u"dtBetweenContainers"},
    {u"DragDrop.DragOutsideImageAlpha", u"120", u"220"},
    {u"DragDrop.DragOutsideDistancePixels", u"30", u"30"},
    {u"DragDrop.DragStartPixels", u"2", u"2"},
    {u"DragDrop.DragControlImageResizeFactor", u"0.5", u"0.5"},
    {u"DragDrop.DragCursor", u"0", u"0"},
    {u"DragDrop.DragDisplay", u"ddTabAndControl", u"ddTabAndControl"},
    {u"DragDrop.DragFormBorderWidth", u"2", u"2"},
    {u"DragDrop.DragFormBorderColor", u"8421504", u"8421504"},
    {u"DragDrop.ContrainDraggedTabWithinContainer", u"True", u"True"},
    {u"Animation.DefaultMovementAnimationTimeMS", u"100", u"100"},
    {u"Animation.DefaultStyleAnimationTimeMS", u"300", u"300"},
    {u"Animation.AnimationTimerInterval", u"25", u"15"},
    {u"Animation.MinimumTabAnimationWidth", u"40", u"40"},
    {u"Animation.DefaultMovementEaseType", u"ttLinearTween", u"ttLinearTween"},
    {u"Animation.DefaultStyleEaseType", u"ttLinearTween", u"ttLinearTween"},
    {u"Animation.MovementAnimations.TabAdd.UseDefaultEaseType", u"True", u"True"},
    {u"Animation.MovementAnimations.TabAdd.UseDefaultAnimationTime", u"True", u"True"},
    {u"Animation.MovementAnimations.TabAdd.EaseType", u"ttLinearTween", u"ttEaseOutExpo"},
    {u"Animation.MovementAnimations.TabAdd.AnimationTimeMS", u"200", u"500"},
    {u"Animation.MovementAnimations.TabDelete.UseDefaultEaseType", u"True", u"True"},
    {u"Animation.MovementAnimations.TabDelete.UseDefaultAnimationTime", u"True", u"True"},
    {u"Animation.MovementAnimations.TabDelete.EaseType", u"ttLinearTween", u"ttEaseOutExpo"},
    {u"Animation.MovementAnimations.TabDelete.AnimationTimeMS", u"200", u"500"},
    {u"Animation.MovementAnimations.TabMove.UseDefaultEaseType", u"False", u"False"},
    {u"Animation.MovementAnimations.TabMove.UseDefaultAnimationTime", u"False", u"False"},
    {u"Animation.MovementAnimations.TabMove.EaseType", u"ttEaseOutExpo", u"ttEaseOutExpo"},
    {u"Animation.MovementAnimations.TabMove.AnimationTimeMS", u"500", u"500"},
    {u"Behaviour.BackgroundDblClickMaximiseRestoreForm", u"False", u"True"},
    {u"Behaviour.BackgroundDragMovesForm", u"False", u"True"},
    {u"Behaviour.TabSmartDeleteResizing", u"True", u"True"},
    {u"Behaviour.TabSmartDeleteResizeCancelDelay", u"700", u"700"},
    {u"Behaviour.UseBuiltInPopupMenu", u"True", u"True"},
    {u"Behaviour.TabRightClickSelect", u"True", u"True"},
    {u"Behaviour.ActivateNewTab", u"True", u"True"},
    {u"Behaviour.DebugMode", u"False", u"False"},
    {u"Behaviour.IgnoreDoubleClicksWhileAnimatingMovement", u"True", u"True"},
    {u"Scrolling.Enabled", u"False", u"True"},
    {u"Scrolling.ScrollButtons", u"csbRight", u"csbRight"},
    {u"Scrolling.ScrollStep", u"20", u"20"},
    {u"Scrolling.ScrollRepeatDelay", u"20", u"20"},
    {u"Scrolling.AutoHideButtons", u"True", u"False"},
    {u"Scrolling.DragScroll", u"True", u"True"},
    {u"Scrolling.DragScrollOffset", u"50", u"50"},
    {u"Scrolling.MouseWheelScroll", u"True", u"True"},
};

TEST(TOptions, ClassAndStripDefaults) {
    TOptions options(nullptr);
    for (const default_row& r : defaults) {
        SCOPED_TRACE(string_to_utf8(r.path));
        EXPECT_EQ(value_text(options, r.path), String(r.class_value));
    }
    apply_strip_defaults(options);
    for (const default_row& r : defaults) {
        SCOPED_TRACE(string_to_utf8(r.path));
        EXPECT_EQ(value_text(options, r.path), String(r.strip_value));
    }
}

// Every published value property of the tree appears in the table above, so none is missed.
TEST(TOptions, DefaultsTableCoversEveryProperty) {
    TOptions options(nullptr);
    std::vector<String> published;
    auto walk = [&](auto& self, TPersistent& object, const String& prefix) -> void {
        for (const property_info* info : object.PublishedProperties().all()) {
            if (info->kind == property_kind::persistent)
                self(self, *std::get<TPersistent*>(info->get(object)), prefix + info->name + u".");
            else
                published.push_back(prefix + info->name);
        }
    };
    walk(walk, options, String());
    std::vector<String> listed;
    for (const default_row& r : defaults) listed.push_back(r.path);
    EXPECT_EQ(published, listed);
}

TEST(TOptions, WhichSettersReport) {
    struct row {
        const char16_t* path;
        bool reports;
    };
    // Value setters report without comparing; drag, behaviour, animation and the spinners' update
    // interval only store.
    const row rows[] = {
        {u"Display.CloseButton.Offsets.Vertical", true},
        {u"Display.CloseButton.Width", true},
        {u"Display.CloseButton.AutoHide", true},
        {u"Display.AddButton.Visibility", true},
        {u"Display.TabModifiedGlow.AnimationUpdateMS", true},
        {u"Display.Tabs.MaxWidth", true},
        {u"Display.Tabs.TextAlignmentVertical", true},
        {u"Display.TabContainer.PaddingRight", true},
        {u"Display.TabMouseGlow.Visible", true},
        {u"Display.TabSpinners.HideImagesWhenSpinnerVisible", true},
        {u"Display.TabSpinners.Upload.SweepAngle", true},
        {u"Display.TabSpinners.Download.Position.Height", true},
        {u"Scrolling.ScrollStep", true},
        {u"Display.TabSpinners.AnimationUpdateMS", false},
        {u"DragDrop.DragType", false},
        {u"DragDrop.ContrainDraggedTabWithinContainer", false},
        {u"Animation.AnimationTimerInterval", false},
        {u"Animation.MovementAnimations.TabDelete.EaseType", false},
        {u"Behaviour.DebugMode", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.path));
        recording_strip strip;
        const located at = locate(strip.Options(), r.path);
        // The current value again: the setters do not compare.
        at.info->set(*at.object, at.info->get(*at.object));
        const std::vector<change> expected =
            r.reports ? std::vector<change>{{nullptr, tcPropertyUpdated}} : std::vector<change>{};
        EXPECT_EQ(strip.changes, expected);
    }
}

TEST(TOptions, WhichObjectSettersReport) {
    struct row {
        const char* name;
        void (*act)(TOptions& target, TOptions& source);
        bool reports;
    };
    const row rows[] = {
        {"Display.AddButton", [](TOptions& t, TOptions& s) { t.Display()->SetAddButton(s.Display()->AddButton()); }, true},
        {"Display.TabModifiedGlow",
         [](TOptions& t, TOptions& s) { t.Display()->SetTabModifiedGlow(s.Display()->TabModifiedGlow()); }, true},
        {"Display.TabMouseGlow", [](TOptions& t, TOptions& s) { t.Display()->SetTabMouseGlow(s.Display()->TabMouseGlow()); },
         true},
        {"Display.TabContainer", [](TOptions& t, TOptions& s) { t.Display()->SetTabContainer(s.Display()->TabContainer()); },
         true},
        {"Display.Tabs", [](TOptions& t, TOptions& s) { t.Display()->SetTabs(s.Display()->Tabs()); }, true},
        {"MovementAnimations.TabAdd",
         [](TOptions& t, TOptions& s) {
             t.Animation()->MovementAnimations()->SetTabAdd(s.Animation()->MovementAnimations()->TabAdd());
         },
         true},
        {"MovementAnimations.TabMove",
         [](TOptions& t, TOptions& s) {
             t.Animation()->MovementAnimations()->SetTabMove(s.Animation()->MovementAnimations()->TabMove());
         },
         true},
        {"Display", [](TOptions& t, TOptions& s) { t.SetDisplay(s.Display()); }, false},
        {"Scrolling", [](TOptions& t, TOptions& s) { t.SetScrolling(s.Scrolling()); }, false},
        {"Display.CloseButton", [](TOptions& t, TOptions& s) { t.Display()->SetCloseButton(s.Display()->CloseButton()); },
         false},
        {"Display.ScrollButtonLeft",
         [](TOptions& t, TOptions& s) { t.Display()->SetScrollButtonLeft(s.Display()->ScrollButtonLeft()); }, false},
        {"Display.TabSpinners", [](TOptions& t, TOptions& s) { t.Display()->SetTabSpinners(s.Display()->TabSpinners()); },
         false},
        {"Offsets",
         [](TOptions& t, TOptions& s) {
             t.Display()->CloseButton()->SetOffsets(s.Display()->CloseButton()->Offsets());
         },
         false},
        {"TabSpinners.Upload",
         [](TOptions& t, TOptions& s) {
             t.Display()->TabSpinners()->SetUpload(s.Display()->TabSpinners()->Upload());
         },
         false},
        {"Position",
         [](TOptions& t, TOptions& s) {
             t.Display()->TabSpinners()->Download()->SetPosition(s.Display()->TabSpinners()->Download()->Position());
         },
         false},
        {"Animation.MovementAnimations",
         [](TOptions& t, TOptions& s) { t.Animation()->SetMovementAnimations(s.Animation()->MovementAnimations()); },
         false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        recording_strip strip;
        TOptions source(nullptr);
        apply_strip_defaults(source);
        r.act(strip.Options(), source);
        const std::vector<change> expected =
            r.reports ? std::vector<change>{{nullptr, tcPropertyUpdated}} : std::vector<change>{};
        EXPECT_EQ(strip.changes, expected);
    }
}

TEST(TOptions, ObjectSettersCopyEveryValueAndKeepTheHeldObject) {
    recording_strip strip;
    TOptions source(nullptr);
    apply_strip_defaults(source);
    source.Display()->Tabs()->SetMinWidth(30);
    source.Display()->Tabs()->SetMaxWidth(90);
    TPageTabsDisplayOptions* held = strip.Options().Display();

    strip.Options().SetDisplay(source.Display());
    strip.Options().SetAnimation(source.Animation());

    EXPECT_EQ(strip.Options().Display(), held);
    for (const default_row& r : defaults) {
        const String path(r.path);
        if (path.starts_with(u"Display.Tabs.M")) continue;
        if (!path.starts_with(u"Display.") && !path.starts_with(u"Animation.")) continue;
        SCOPED_TRACE(string_to_utf8(path));
        EXPECT_EQ(value_text(strip.Options(), path), String(r.strip_value));
    }
    EXPECT_EQ(held->Tabs()->MinWidth(), 30);
    EXPECT_EQ(held->Tabs()->MaxWidth(), 90);
}

TEST(TOptions, CopyingFromAnotherClassRaisesTheAssignmentError) {
    TOptions options(nullptr);
    TPageTabsOffsets offsets(nullptr);
    try {
        options.Display()->Tabs()->Assign(&offsets);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Cannot assign a TPageTabsOffsets to a TPageTabsOptions");
    }
}

TEST(TPageTabsOptions, MaxWidthIsNeverBelowMinWidth) {
    struct row {
        int min_width;
        int max_width;
        int stored;
    };
    const row rows[] = {{25, 10, 25}, {25, 25, 25}, {25, 26, 26}, {20, -5, 20}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.max_width);
        TOptions options(nullptr);
        TPageTabsOptions& tabs = *options.Display()->Tabs();
        tabs.SetMinWidth(r.min_width);
        tabs.SetMaxWidth(r.max_width);
        EXPECT_EQ(tabs.MaxWidth(), r.stored);
    }
    // MinWidth is stored as given, even above MaxWidth.
    TOptions options(nullptr);
    options.Display()->Tabs()->SetMinWidth(300);
    EXPECT_EQ(options.Display()->Tabs()->MinWidth(), 300);
    EXPECT_EQ(options.Display()->Tabs()->MaxWidth(), 200);
}

TEST(TPageTabsAnimationOptions, MovementUsesTheDefaultsItIsToldTo) {
    struct row {
        bool use_default_ease;
        bool use_default_time;
        TPageTabsEaseType ease;
        std::uint32_t time;
    };
    const row rows[] = {
        {true, false, TPageTabsEaseType::ttEaseInCubic, 700},
        {false, true, TPageTabsEaseType::ttEaseOutExpo, 100},
        {true, true, TPageTabsEaseType::ttEaseInCubic, 100},
        {false, false, TPageTabsEaseType::ttEaseOutExpo, 700},
    };
    for (const row& r : rows) {
        TOptions options(nullptr);
        TPageTabsAnimationOptions& animation = *options.Animation();
        animation.SetDefaultMovementEaseType(TPageTabsEaseType::ttEaseInCubic);
        TPageTabsMovementAnimationTypes& kind = *animation.MovementAnimations()->TabAdd();
        kind.SetUseDefaultEaseType(r.use_default_ease);
        kind.SetUseDefaultAnimationTime(r.use_default_time);
        kind.SetEaseType(TPageTabsEaseType::ttEaseOutExpo);
        kind.SetAnimationTimeMS(700);
        EXPECT_EQ(animation.GetMovementAnimationEaseType(&kind), r.ease);
        EXPECT_EQ(animation.GetMovementAnimationTime(&kind), r.time);
    }
}

TEST(TPageTabsPersistent, ReportsThroughComponentsUpToTheStripAndStaysSilentWithout) {
    recording_strip strip;
    TOptions options(new TComponent(&strip));
    options.Scrolling()->SetScrollStep(5);
    EXPECT_EQ(strip.changes, (std::vector<change>{{nullptr, tcPropertyUpdated}}));

    TOptions orphan(nullptr);
    orphan.Scrolling()->SetScrollStep(5); // nobody to tell, nothing to crash
    EXPECT_EQ(orphan.Scrolling()->ScrollStep(), 5);
}

} // namespace
} // namespace kq::test
