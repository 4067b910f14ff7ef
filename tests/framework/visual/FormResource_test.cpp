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

    TTestPanel* TopPanel = nullptr;
    TTestPanel* Inner = nullptr;
    TTimer* Ticker = nullptr;

    void FormCreate(TObject*) {
        ASSERT_TRUE(TopPanel && Inner && Ticker);
        SeenAtCreate = {TopPanel->Parent() == this, Inner->Parent() == TopPanel,
                        TopPanel->BoundsRect().right == ClientWidth() && TopPanel->Height() == 40,
                        Inner->Left() == 10 && Inner->Top() == 5 && Inner->Width() == 20 && Inner->Height() == 15,
                        TopPanel->Caption() == u"Top" && TopPanel->Color() == clRed,
                        Inner->Hint() == u"inner hint" && !Inner->Visible(),
                        Ticker->Interval() == 250 && !Ticker->Enabled()};
    }
    void PanelClick(TObject* sender) { Clicked.push_back(sender); }

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TResourceForm>(TForm::PublishedProperties())
            .field(u"TopPanel", &TResourceForm::TopPanel)
            .field(u"Inner", &TResourceForm::Inner)
            .field(u"Ticker", &TResourceForm::Ticker)
            .method(u"FormCreate", &TResourceForm::FormCreate)
            .method(u"PanelClick", &TResourceForm::PanelClick);
        return table;
    }

    std::vector<bool> SeenAtCreate;
    std::vector<TObject*> Clicked;
};

} // namespace

TEST_F(visual_test, FormResourceSetsControlsAndBindsFieldsAndEventsBeforeOnCreate) {
    register_class<TTestPanel>();
    TResourceForm* form = CreateForm<TResourceForm>(Application);
    EXPECT_EQ(form->SeenAtCreate, std::vector<bool>(7, true));
    EXPECT_EQ(form->Caption(), u"From resource");
    EXPECT_EQ(form->ClientWidth(), 300);
    TTestPanel* top = form->TopPanel;
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
