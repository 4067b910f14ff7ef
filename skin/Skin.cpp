#include "skin/Skin.h"

#include "framework/Properties.h"
#include "skin/uSimpleTimer.h"
#include "skin/uSkFormBorder.h"
#include "skin/uSkPopupListEx.h"
#include "skin/uSkinButton.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinHelper.h"
#include "skin/uSkinMenu.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinPanel.h"
#include "skin/uSkinRes.h"
#include "skin/uSkinResDM.h"
#include "skin/uSkinResManager.h"

namespace kq {

void skin_startup() {
    uSkinResManager_startup();
    uSkinResDM_startup();
    uSkinRes_startup();
    uSkinMenu_startup();
    // The classes a form resource may hold.
    register_class<TSkinForm>();
    register_class<TSkinPanel>();
    register_class<TSkinImageButton>();
    register_class<TSkinSystemButton>();
    register_class<TSkinNCButton>();
    register_class<TSkinNCLabel>();
    register_class<TSkFormLayerBorder>();
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
