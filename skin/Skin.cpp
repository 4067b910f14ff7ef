#include "skin/Skin.h"

#include "skin/uSimpleTimer.h"
#include "skin/uSkPopupListEx.h"
#include "skin/uSkinHelper.h"
#include "skin/uSkinMenu.h"
#include "skin/uSkinRes.h"
#include "skin/uSkinResDM.h"
#include "skin/uSkinResManager.h"

namespace kq {

void skin_startup() {
    uSkinResDM_startup();
    uSkinRes_startup();
    uSkinMenu_startup();
}

void skin_shutdown() noexcept {
    uSkPopupListEx_shutdown();
    uSkinMenu_shutdown();
    uSkinRes_shutdown();
    uSkinResManager_shutdown();
    uSkinResDM_shutdown();
    uSkinHelper_shutdown();
    uSimpleTimer_shutdown();
}

} // namespace kq
