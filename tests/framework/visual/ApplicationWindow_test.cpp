#include "tests/framework/visual/VisualFixture.h"

#include <string>
#include <vector>

namespace kq {
namespace {

using test::visual_test;

// WM_CLOSE sent to the application's hidden window closes the main form; hooks see it first.
TEST_F(visual_test, ApplicationWindowClosesTheMainFormUnlessAHookTakesTheMessage) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->Show();
    std::vector<std::string> seen;
    int first_owner = 0, second_owner = 0;
    Application->HookMainWindow(&first_owner, [&](TMessage& m) {
        if (m.Msg == WM_CLOSE) seen.push_back("first");
        return false;
    });
    Application->HookMainWindow(&second_owner, [&](TMessage& m) {
        if (m.Msg != WM_CLOSE) return false;
        seen.push_back("second");
        m.Result = 7;
        return true;
    });
    EXPECT_EQ(::SendMessageW(Application->Handle(), WM_CLOSE, 0, 0), 7);
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
    EXPECT_FALSE(Application->Terminated());
    EXPECT_TRUE(::IsWindow(Application->Handle()));

    Application->UnhookMainWindow(&second_owner);
    seen.clear();
    ::SendMessageW(Application->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(seen, std::vector<std::string>{"first"});
    EXPECT_TRUE(Application->Terminated());
    // The application's window itself stays.
    EXPECT_TRUE(::IsWindow(Application->Handle()));
    Application->UnhookMainWindow(&first_owner);
}

TEST_F(visual_test, ApplicationWindowWithoutMainFormIgnoresClose) {
    EXPECT_EQ(::SendMessageW(Application->Handle(), WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(Application->Terminated());
    EXPECT_TRUE(::IsWindow(Application->Handle()));
}

} // namespace
} // namespace kq
