#include "framework/ComCtrls.h"

#include "VisualFixture.h"

#include <memory>
#include <string>
#include <vector>

using namespace kq;
using kq::test::visual_test;

namespace {

// A form with a page control whose sheets are given before any window exists.
struct sample_pages {
    explicit sample_pages(std::initializer_list<const char16_t*> captions) {
        form->SetBounds(10, 10, 320, 200);
        pages->SetBounds(0, 0, 300, 150);
        pages->SetParent(form.get());
        for (const char16_t* caption : captions) {
            auto* sheet = new TTabSheet(form.get());
            sheet->SetCaption(caption);
            sheet->SetPageControl(pages);
            sheets.push_back(sheet);
        }
    }
    // The system control's tabs, as it shows them.
    std::vector<std::wstring> tabs() {
        std::vector<std::wstring> texts;
        const auto count = static_cast<int>(::SendMessageW(pages->Handle(), TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            ::SendMessageW(pages->Handle(), TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            texts.emplace_back(text);
        }
        return texts;
    }
    int selected_tab() { return static_cast<int>(::SendMessageW(pages->Handle(), TCM_GETCURSEL, 0, 0)); }
    // Posts a click on the middle of a tab, as the mouse would.
    void click_tab(int index) {
        RECT r{};
        ::SendMessageW(pages->Handle(), TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ::PostMessageW(pages->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(pages->Handle(), WM_LBUTTONUP, 0, at);
    }
    // Only the active sheet shows, and it fills the area below the tabs.
    void expect_only_active_shown() {
        RECT area{};
        ::GetClientRect(pages->Handle(), &area);
        ::SendMessageW(pages->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        for (TTabSheet* sheet : sheets) {
            if (sheet->PageControl() != pages) continue;
            EXPECT_EQ(::IsWindowVisible(sheet->Handle()) != FALSE, sheet == pages->ActivePage()) << sheet->PageIndex();
            const RECT r = sheet->BoundsRect();
            EXPECT_TRUE(::EqualRect(&r, &area)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        }
    }

    std::unique_ptr<TForm> form{CreateForm<TForm>(nullptr)};
    TPageControl* pages = new TPageControl(form.get());
    std::vector<TTabSheet*> sheets;
};

} // namespace

// The user's click asks OnChanging, which may keep the tab; a granted change raises OnChange once.
TEST_F(visual_test, PageControlTabClicksAskThenChange) {
    sample_pages p{u"One", u"Two", u"三"};
    p.form->Show();
    EXPECT_EQ(p.tabs(), (std::vector<std::wstring>{L"One", L"Two", L"三"}));
    EXPECT_EQ(p.pages->ActivePage(), nullptr);
    EXPECT_EQ(p.selected_tab(), -1);

    int asked = 0, changed = 0;
    bool allow = true;
    p.pages->OnChanging = [&](TObject* sender, bool& allow_change) {
        EXPECT_EQ(sender, p.pages);
        ++asked;
        allow_change = allow;
    };
    p.pages->OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, p.pages);
        ++changed;
    };
    // From code: no events.
    p.pages->SetActivePage(p.sheets[0]);
    EXPECT_EQ(p.selected_tab(), 0);
    EXPECT_EQ(asked + changed, 0);

    struct row {
        int click;
        bool allow;
        int active; // afterwards
        int asked, changed;
    };
    const row rows[] = {
        {2, true, 2, 1, 1},
        {1, false, 2, 1, 0}, // refused
        {1, true, 1, 1, 1},
        {1, true, 1, 0, 0}, // the selected tab again: nothing to ask
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.click);
        asked = changed = 0;
        allow = r.allow;
        p.click_tab(r.click);
        // The click is handled once the tab control has let go of the button.
        pump_until([&] { return changed == r.changed && asked == r.asked && ::GetCapture() == nullptr; }, 500);
        pump_until([] { return false; }, 30);
        EXPECT_EQ(asked, r.asked);
        EXPECT_EQ(changed, r.changed);
        EXPECT_EQ(p.pages->ActivePageIndex(), r.active);
        EXPECT_EQ(p.selected_tab(), r.active);
        p.expect_only_active_shown();
    }
}

TEST_F(visual_test, PageControlSheetsComeAndGoWithTheirTabs) {
    sample_pages p{u"A", u"B", u"C", u"D"};
    p.form->Show();
    p.pages->SetActivePageIndex(1);
    p.expect_only_active_shown();

    // A caption is its tab's text; a page index is its tab's place.
    p.sheets[2]->SetCaption(u"标题");
    p.sheets[3]->SetPageIndex(0);
    EXPECT_EQ(p.tabs(), (std::vector<std::wstring>{L"D", L"A", L"B", L"标题"}));
    EXPECT_EQ(p.sheets[3]->PageIndex(), 0);
    EXPECT_EQ(p.pages->ActivePage(), p.sheets[1]);
    EXPECT_EQ(p.selected_tab(), 2);
    p.sheets[3]->SetPageIndex(99);
    EXPECT_EQ(p.tabs(), (std::vector<std::wstring>{L"A", L"B", L"标题", L"D"}));
    EXPECT_EQ(p.selected_tab(), 1);

    // The active sheet goes: the next one takes its place; at the end, the one before.
    delete p.sheets[1];
    EXPECT_EQ(p.tabs(), (std::vector<std::wstring>{L"A", L"标题", L"D"}));
    EXPECT_EQ(p.pages->ActivePage(), p.sheets[2]);
    EXPECT_EQ(p.selected_tab(), 1);
    p.sheets.erase(p.sheets.begin() + 1); // A, 标题, D
    p.expect_only_active_shown();
    p.pages->SetActivePage(p.sheets[2]);
    p.sheets[2]->SetPageControl(nullptr);
    EXPECT_EQ(p.tabs(), (std::vector<std::wstring>{L"A", L"标题"}));
    EXPECT_EQ(p.pages->ActivePage(), p.sheets[1]);
    EXPECT_EQ(p.sheets[2]->PageIndex(), -1);
    EXPECT_EQ(p.sheets[2]->Parent(), nullptr);
    p.expect_only_active_shown();

    // An inactive sheet goes: the active one stays, its tab still selected.
    delete p.sheets[0];
    EXPECT_EQ(p.tabs(), std::vector<std::wstring>{L"标题"});
    EXPECT_EQ(p.selected_tab(), 0);

    // A sheet of another control is not made active here; an index out of range leaves none.
    p.pages->SetActivePage(p.sheets[2]);
    EXPECT_EQ(p.pages->ActivePage(), p.sheets[1]);
    p.pages->SetActivePageIndex(5);
    EXPECT_EQ(p.pages->ActivePage(), nullptr);
    EXPECT_EQ(p.selected_tab(), -1);
    EXPECT_FALSE(::IsWindowVisible(p.sheets[1]->Handle()));
    try {
        p.pages->Pages(1);
        ADD_FAILURE() << "no error";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), u"List index out of bounds (1)");
    }

    // A new window gets the tabs again.
    p.pages->SetActivePageIndex(0);
    p.pages->RecreateWnd();
    EXPECT_EQ(p.tabs(), std::vector<std::wstring>{L"标题"});
    EXPECT_EQ(p.selected_tab(), 0);
    p.expect_only_active_shown();
}
