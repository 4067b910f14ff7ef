#include "tabs/PageTabsClasses.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Properties.h"
#include "tabs/PageTabsOptions.h"
#include "tests/tabs/RecordingStrip.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace kq::test {
namespace {

using enum TTabChangeType;

String active_caption(recording_strip& strip) {
    TPageTab* tab = strip.Tabs().ActiveTab();
    return tab ? tab->Caption() : String(u"none");
}

void set_delete_animation(recording_strip& strip, bool on) {
    strip.Options().Animation()->SetDefaultMovementEaseType(on ? TPageTabsEaseType::ttLinearTween
                                                               : TPageTabsEaseType::ttNone);
}

TEST(TPageTabsList, AddReportsTheNewTab) {
    recording_strip strip;
    TPageTab* tab = strip.Tabs().Add();
    EXPECT_EQ(strip.changes, (std::vector<change>{{tab, tcAdded}}));
    EXPECT_EQ(tab->Collection(), &strip.Tabs());
    EXPECT_EQ(tab->ImageIndex(), -1);
    EXPECT_EQ(tab->ImageIndexOverlay(), -1);
    EXPECT_TRUE(tab->Visible());
    EXPECT_FALSE(tab->ImageIsVisible());
}

TEST(TPageTabsList, DeletingTheActiveTabHandsOverToTheNeighbourRule) {
    struct row {
        const char* name;
        int count;
        int active;
        std::vector<int> hidden;
        int deleted;
        bool delete_now;
        bool animation;
        const char16_t* expected_active;
        int expected_count;
    };
    const row rows[] = {
        {"active last of three", 3, 2, {}, 2, false, true, u"1", 3},
        {"active last of three, removed at once", 3, 2, {}, 2, false, false, u"1", 2},
        {"active middle, animated: right neighbour beside the marked tab", 3, 1, {}, 1, false, true, u"2", 3},
        {"active middle, animation off: right neighbour moves into the index", 3, 1, {}, 1, false, false, u"2", 2},
        {"active middle, deleted now", 3, 1, {}, 1, true, true, u"2", 2},
        {"active first", 3, 0, {}, 0, false, true, u"1", 3},
        {"inactive tab keeps the active one", 3, 0, {}, 1, false, false, u"0", 2},
        {"only tab", 1, 0, {}, 0, false, false, u"none", 0},
        {"hidden right neighbour walks left", 4, 1, {2}, 1, false, false, u"0", 3},
        // The marked tab is never chosen, so the walk goes on past it.
        {"hidden right neighbour, animated: the marked tab is skipped", 4, 1, {2}, 1, false, true, u"0", 4},
        {"everything left of a hidden neighbour hidden", 3, 1, {0, 2}, 1, true, false, u"none", 2},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        recording_strip strip;
        set_delete_animation(strip, r.animation);
        strip.add_tabs(r.count);
        strip.Tabs().Items(r.active)->SetActive(true);
        for (int h : r.hidden) strip.Tabs().Items(h)->SetVisible(false);
        TPageTab* deleted = strip.Tabs().Items(r.deleted);
        strip.clear_changes();

        strip.Tabs().DeleteTab(r.deleted, r.delete_now);

        EXPECT_EQ(active_caption(strip), String(r.expected_active));
        EXPECT_EQ(strip.Tabs().Count(), r.expected_count);
        const bool kept = r.expected_count == r.count;
        EXPECT_EQ(strip.changes.at(0), (change{deleted, tcDeleting}));
        EXPECT_EQ(strip.changes.at(1), (change{kept ? deleted : nullptr, tcDeleted}));
        if (kept) {
            EXPECT_TRUE(deleted->MarkedForDeletion());
        }
    }
}

TEST(TPageTabsList, AnimatedDeletionReportsInOrder) {
    recording_strip strip;
    strip.add_tabs(3);
    TPageTab* middle = strip.Tabs().Items(1);
    TPageTab* right = strip.Tabs().Items(2);
    middle->SetActive(true);
    strip.clear_changes();

    strip.Tabs().DeleteTab(1, false);

    EXPECT_EQ(strip.changes, (std::vector<change>{{middle, tcDeleting},
                                                  {middle, tcDeleted},
                                                  {middle, tcDeactivated},
                                                  {middle, tcPropertyUpdated},
                                                  {right, tcActivated},
                                                  {right, tcPropertyUpdated}}));
}

TEST(TPageTabsList, DeletingAMarkedTabRemovesItSilently) {
    recording_strip strip;
    strip.add_tabs(3);
    strip.Tabs().Items(0)->SetActive(true);
    strip.Tabs().DeleteTab(1, false);
    ASSERT_TRUE(strip.Tabs().Items(1)->MarkedForDeletion());
    strip.clear_changes();

    strip.Tabs().DeleteTab(1, false);

    EXPECT_EQ(strip.Tabs().Count(), 2);
    EXPECT_EQ(strip.Tabs().Items(1)->Caption(), u"2");
    EXPECT_TRUE(strip.changes.empty());
    EXPECT_EQ(active_caption(strip), u"0");
}

TEST(TPageTab, PinningMovesToTheEndOfThePinnedRunAndActivates) {
    struct row {
        const char* name;
        std::vector<int> pinned_before; // pinned in this order first
        int tab;                        // index of the tab to change then
        bool pin;
        int expected_index;
    };
    const row rows[] = {
        {"fourth of five unpinned", {}, 3, true, 0},
        {"behind an existing pinned tab", {0}, 3, true, 1},
        {"unpinning the only pinned tab", {0}, 0, false, 0},
        {"unpinning the first of two pinned tabs", {0, 1}, 0, false, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        recording_strip strip;
        strip.add_tabs(5);
        for (int p : r.pinned_before) strip.Tabs().Items(p)->SetPinned(true);
        TPageTab* tab = strip.Tabs().Items(r.tab);
        strip.clear_changes();

        tab->SetPinned(r.pin);

        EXPECT_EQ(tab->Index(), r.expected_index);
        EXPECT_EQ(tab->Pinned(), r.pin);
        EXPECT_TRUE(tab->Active());
        ASSERT_FALSE(strip.changes.empty());
        EXPECT_EQ(strip.changes.front(), (change{tab, tcPinned}));
    }
}

TEST(TPageTab, DisplayCaptionIsEmptyWhilePinned) {
    recording_strip strip;
    strip.add_tabs(1);
    TPageTab* tab = strip.Tabs().Items(0);
    EXPECT_EQ(tab->DisplayCaption(), u"0");
    tab->SetPinned(true);
    EXPECT_EQ(tab->DisplayCaption(), u"");
}

TEST(TPageTab, VetoedActivationChangesAndReportsNothing) {
    recording_strip strip;
    strip.add_tabs(2);
    TPageTab* first = strip.Tabs().Items(0);
    TPageTab* second = strip.Tabs().Items(1);
    first->SetActive(true);
    second->SetModified(true);
    strip.clear_changes();
    TPageTab* asked_old = nullptr;
    TPageTab* asked_new = nullptr;
    strip.OnActiveTabChanging = [&](TPageTab* o, TPageTab* n, bool& allow) {
        asked_old = o;
        asked_new = n;
        allow = false;
    };

    second->SetActive(true);

    EXPECT_EQ(asked_old, first);
    EXPECT_EQ(asked_new, second);
    EXPECT_TRUE(first->Active());
    EXPECT_FALSE(second->Active());
    EXPECT_TRUE(second->Modified());
    EXPECT_TRUE(strip.changes.empty());
}

TEST(TPageTab, ActivationDeactivatesTheOthersAndClearsModifiedSilently) {
    recording_strip strip;
    strip.add_tabs(3);
    TPageTab* first = strip.Tabs().Items(0);
    TPageTab* third = strip.Tabs().Items(2);
    first->SetActive(true);
    third->SetModified(true);
    strip.clear_changes();

    third->SetActive(true);

    EXPECT_FALSE(third->Modified());
    EXPECT_FALSE(first->Active());
    EXPECT_EQ(strip.changes, (std::vector<change>{{first, tcDeactivated},
                                                  {first, tcPropertyUpdated},
                                                  {third, tcActivated},
                                                  {third, tcPropertyUpdated}}));
}

TEST(TPageTab, HidingTheActiveTabDeactivatesItBeforeReportingVisibility) {
    recording_strip strip;
    strip.add_tabs(2);
    TPageTab* tab = strip.Tabs().Items(1);
    tab->SetActive(true);
    strip.clear_changes();

    tab->SetVisible(false);

    EXPECT_EQ(strip.changes,
              (std::vector<change>{{tab, tcDeactivated}, {tab, tcPropertyUpdated}, {tab, tcVisibility}}));
    EXPECT_EQ(strip.Tabs().ActiveTab(), nullptr);
}

TEST(TPageTab, SettersReportOnlyWhatChanged) {
    struct row {
        const char* name;
        void (*act)(TPageTab&);
        std::vector<TTabChangeType> expected;
    };
    const row rows[] = {
        {"same caption", [](TPageTab& t) { t.SetCaption(t.Caption()); }, {}},
        {"new caption", [](TPageTab& t) { t.SetCaption(u"新"); }, {tcPropertyUpdated}},
        {"same image index", [](TPageTab& t) { t.SetImageIndex(-1); }, {}},
        {"new image index", [](TPageTab& t) { t.SetImageIndex(2); }, {tcPropertyUpdated}},
        {"new overlay index", [](TPageTab& t) { t.SetImageIndexOverlay(0); }, {tcPropertyUpdated}},
        {"modified", [](TPageTab& t) { t.SetModified(true); }, {tcPropertyUpdated}},
        {"same modified", [](TPageTab& t) { t.SetModified(false); }, {}},
        {"spinner", [](TPageTab& t) { t.SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload); },
         {tcPropertyUpdated}},
        {"same spinner", [](TPageTab& t) { t.SetSpinnerState(TPageTabSpinnerState::tssNone); }, {}},
        {"hide close button", [](TPageTab& t) { t.SetHideCloseButton(true); }, {tcPropertyUpdated}},
        {"tag", [](TPageTab& t) { t.SetTag(42); }, {}},
        {"data", [](TPageTab& t) { t.SetData(&t); }, {}},
        {"visible unchanged", [](TPageTab& t) { t.SetVisible(true); }, {tcVisibility}},
        {"hide an inactive tab", [](TPageTab& t) { t.SetVisible(false); }, {tcVisibility}},
        {"deactivate an inactive tab", [](TPageTab& t) { t.SetActive(false); }, {}},
        {"same pinned", [](TPageTab& t) { t.SetPinned(false); }, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        recording_strip strip;
        strip.add_tabs(1);
        TPageTab* tab = strip.Tabs().Items(0);
        r.act(*tab);
        std::vector<change> expected;
        for (TTabChangeType type : r.expected) expected.push_back({tab, type});
        EXPECT_EQ(strip.changes, expected);
    }
}

TEST(TPageTabsList, ActiveTabWriterIgnoresTabsItDoesNotHold) {
    recording_strip strip;
    recording_strip other;
    strip.add_tabs(2);
    other.add_tabs(1);
    strip.Tabs().SetActiveTab(nullptr);
    strip.Tabs().SetActiveTab(other.Tabs().Items(0));
    EXPECT_EQ(strip.Tabs().ActiveTab(), nullptr);
    EXPECT_FALSE(other.Tabs().Items(0)->Active());
    EXPECT_TRUE(strip.changes.empty());

    strip.Tabs().SetActiveTab(strip.Tabs().Items(1));
    EXPECT_EQ(strip.Tabs().ActiveTab(), strip.Tabs().Items(1));
}

TEST(TPageTabsList, MoveReportsTheTabAtItsNewIndex) {
    recording_strip strip;
    strip.add_tabs(4);
    TPageTab* moved = strip.Tabs().Items(0);
    strip.Tabs().Move(0, 2);
    EXPECT_EQ(strip.Tabs().IndexOf(moved), 2);
    EXPECT_EQ(moved->GetIndex(), 2);
    EXPECT_EQ(strip.changes, (std::vector<change>{{moved, tcMoved}}));
    EXPECT_EQ(strip.Tabs().IndexOf(nullptr), -1);
}

TEST(TPageTabsList, ItemsOutsideTheListRaiseTheListIndexError) {
    recording_strip strip;
    strip.add_tabs(2);
    for (int index : {-1, 2}) {
        try {
            strip.Tabs().Items(index);
            ADD_FAILURE() << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), Format(u"List index out of bounds (%d)", {index}));
        }
    }
}

TEST(TPageTabsList, OutsideAStripTabsChangeSilentlyAndTheListAsserts) {
    TComponent owner(nullptr);
    TPageTabsList list(&owner);
    TPageTab* tab = list.Add();
    tab->SetCaption(u"x");
    tab->SetActive(true);
    EXPECT_TRUE(tab->Active());
    try {
        list.DeleteTab(0, true);
        ADD_FAILURE();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind(u"Collection owner must support IPageTabInterface (PageTabsClasses, line ", 0), 0u);
    }
}

TEST(TPageTab, MovingToAnotherListWhileDesigningReportsTheChange) {
    recording_strip strip;
    recording_strip other;
    strip.add_tabs(1);
    TPageTab* tab = strip.Tabs().Items(0);
    tab->SetCollection(&other.Tabs());
    EXPECT_EQ(other.changes, (std::vector<change>{{tab, tcAdded}}));

    other.state = TComponentState{TComponentStateFlag::csDesigning};
    other.clear_changes();
    tab->SetCollection(&strip.Tabs());
    EXPECT_EQ(strip.changes, (std::vector<change>{{tab, tcAdded}, {tab, tcPropertyUpdated}}));
}

TEST(TPageTab, PublishesItsPropertiesInOrder) {
    recording_strip strip;
    strip.add_tabs(1);
    std::vector<String> names;
    for (const property_info* info : strip.Tabs().Items(0)->PublishedProperties().all()) names.push_back(info->name);
    EXPECT_EQ(names, (std::vector<String>{u"Caption", u"Active", u"Tag", u"ImageIndex", u"ImageIndexOverlay", u"Pinned",
                                          u"Visible", u"Modified", u"SpinnerState", u"HideCloseButton"}));
}

} // namespace
} // namespace kq::test
