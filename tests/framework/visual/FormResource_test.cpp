#include "framework/Forms.h"

#include "framework/Properties.h"
#include "framework/Timers.h"

#include "VisualFixture.h"

using namespace kq;
using kq::test::visual_test;

namespace {

class TTestPanel : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
};

// Built from the RCDATA resource named after its class (ResourceForm.rc).
class TResourceForm : public TForm {
public:
    using TForm::TForm;

    void FormCreate(TObject*) {
        auto* top = dynamic_cast<TTestPanel*>(FindComponent(u"TopPanel"));
        auto* inner = dynamic_cast<TTestPanel*>(FindComponent(u"Inner"));
        auto* ticker = dynamic_cast<TTimer*>(FindComponent(u"Ticker"));
        ASSERT_TRUE(top && inner && ticker);
        SeenAtCreate = {top->Parent() == this, inner->Parent() == top,
                        top->BoundsRect().right == ClientWidth() && top->Height() == 40,
                        inner->Left() == 10 && inner->Top() == 5 && inner->Width() == 20 && inner->Height() == 15,
                        top->Caption() == u"Top" && top->Color() == clRed,
                        inner->Hint() == u"inner hint" && !inner->Visible(),
                        ticker->Interval() == 250 && !ticker->Enabled()};
    }
    void PanelClick(TObject* sender) { Clicked.push_back(sender); }

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TResourceForm>(TForm::PublishedProperties())
            .method(u"FormCreate", &TResourceForm::FormCreate)
            .method(u"PanelClick", &TResourceForm::PanelClick);
        return table;
    }

    std::vector<bool> SeenAtCreate;
    std::vector<TObject*> Clicked;
};

} // namespace

TEST_F(visual_test, FormResourceSetsControlsAndBindsEventsBeforeOnCreate) {
    register_class<TTestPanel>();
    TResourceForm* form = CreateForm<TResourceForm>(Application);
    EXPECT_EQ(form->SeenAtCreate, std::vector<bool>(7, true));
    EXPECT_EQ(form->Caption(), u"From resource");
    EXPECT_EQ(form->ClientWidth(), 300);
    auto* top = dynamic_cast<TTestPanel*>(form->FindComponent(u"TopPanel"));
    ASSERT_NE(top, nullptr);
    form->HandleNeeded();
    EXPECT_EQ(::FindWindowExW(form->Handle(), nullptr, L"TTestPanel", L"Top"), top->Handle());
    ::SendMessageW(top->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::SendMessageW(top->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(form->Clicked, std::vector<TObject*>{top});
    // The align rules hold after loading: the top panel follows the form's width.
    form->SetClientSize(500, 200);
    EXPECT_EQ(top->Width(), 500);
    delete form;
}
