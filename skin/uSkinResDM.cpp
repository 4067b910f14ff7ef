#include "skin/uSkinResDM.h"

#include "framework/ResourceStreams.h"
#include "skin/SkinImageStore.h"

#include <memory>

namespace kq {
namespace {

std::unique_ptr<TSkinResDM> module;

} // namespace

TSkinResDM::TSkinResDM(TComponent* AOwner) : skin_res_dm_base(AOwner) {
    SkinImageListMain = new TSkinImageList(this);
    SkinImageListMain->SetName(u"SkinImageListMain");
    if (const auto store = program_rcdata(u"TSKINRESDM")) read_skin_store(*store, *SkinImageListMain);
}

TSkinResDM* SkinResDM() noexcept {
    return module.get();
}

void RecreateSkinResDM() {
    module.reset();
    module = std::make_unique<TSkinResDM>(nullptr);
    module->SetName(u"SkinResDM");
}

void uSkinResDM_startup() {
    RecreateSkinResDM();
}

void uSkinResDM_shutdown() noexcept {
    module.reset();
}

} // namespace kq
