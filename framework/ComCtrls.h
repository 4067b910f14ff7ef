#pragma once
// TPageControl and its pages, TTabSheet.
#include "framework/Controls.h"

#include <functional>
#include <vector>

namespace kq {

class TPageControl;

// allow_change set to false keeps the selected tab.
using TTabChangingEvent = std::function<void(TObject* sender, bool& allow_change)>;

// One page of a page control: a panel shown while its tab is the selected one; its caption is the tab's
// text. It starts hidden: the page control shows its active page.
class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;

    TPageControl* PageControl() const noexcept { return FPageControl; }
    // Moves the sheet, its tab last, to another page control, or out of any with nullptr.
    void SetPageControl(TPageControl* Value);
    // The position of its tab; -1 without a page control.
    int PageIndex() const;
    // Moves its tab to that position (clamped to the tabs there are).
    void SetPageIndex(int Value);

protected:
    void WndProc(TMessage& Message) override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

// The system's tab control holding sheets, the active one shown below the tabs. When the user selects a
// tab, OnChanging may refuse it, then OnChange follows; setting the active page from code raises neither.
class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;

    int PageCount() const noexcept { return static_cast<int>(FPages.size()); }
    // EListError for an index out of range.
    TTabSheet* Pages(int index) const;
    TTabSheet* ActivePage() const noexcept { return FActivePage; }
    // A sheet of another page control is ignored; nullptr leaves no page shown.
    void SetActivePage(TTabSheet* Value);
    // -1 without an active page; an index out of range leaves none.
    int ActivePageIndex() const;
    void SetActivePageIndex(int Value);

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    void AlignControls(RECT& rect) override;
    virtual bool CanChange();
    virtual void Change();

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void MovePage(TTabSheet* page, int index);
    void UpdateTab(const TTabSheet* page);
    void insert_tab(int index);
    void select_tab();

    std::vector<TTabSheet*> FPages; // in tab order; each sheet is also a child control
    TTabSheet* FActivePage = nullptr;
};

} // namespace kq
