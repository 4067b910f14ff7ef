#include "framework/Messages.h"
#include "skin/SkinMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace kq;

// The skin's menu messages are performed on any active form: a number shared with a framework message,
// a system control's message or a registered message would be taken for the other.
TEST(SkinMessages, SkinMessagesKeepClearOfEveryOtherRange) {
    struct row {
        unsigned number;
        const char* name;
    };
    const row private_rows[] = {{WM_VK_REFRESHCONTROL, "WM_VK_REFRESHCONTROL"}, {WM_VK_UPDATENC, "WM_VK_UPDATENC"},
                                {WM_VK_REFRESHSKIN, "WM_VK_REFRESHSKIN"}, {WM_VK_APPLYSKINRES, "WM_VK_APPLYSKINRES"},
                                {WM_VK_ADDNCCONTROL, "WM_VK_ADDNCCONTROL"},
                                {WM_VK_REMOVENCCONTROL, "WM_VK_REMOVENCCONTROL"}};
    for (const row& r : private_rows) {
        SCOPED_TRACE(r.name);
        EXPECT_GE(r.number, 0x0400u + 2001u);
        EXPECT_LE(r.number, 0x0400u + 2007u);
    }
    const row menu_rows[] = {{WM_VK_MENUCLOSED, "WM_VK_MENUCLOSED"},
                             {WM_VK_ENTERMENULOOP, "WM_VK_ENTERMENULOOP"},
                             {WM_VK_EXITMENULOOP, "WM_VK_EXITMENULOOP"}};
    std::vector<unsigned> seen;
    for (const row& r : menu_rows) {
        SCOPED_TRACE(r.name);
        EXPECT_GE(r.number, SKIN_MESSAGE_FIRST);
        EXPECT_LE(r.number, SKIN_MESSAGE_LAST);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), r.number), 0);
        seen.push_back(r.number);
    }
    // The reserved block lies in the application range, below the framework's own messages.
    EXPECT_GE(SKIN_MESSAGE_FIRST, 0x8000u);
    EXPECT_LT(SKIN_MESSAGE_LAST, CM_BASE);
    EXPECT_LT(CN_BASE + 0x0111u, 0xC000u);
}
