#include "skin/uSkinResDM.h"

#include "framework/ResourceStreams.h"
#include "skin/SkinImageStore.h"

#include <memory>

namespace kq {
namespace {

std::unique_ptr<TSkinResDM> module; // a component without owner belongs to its creator

} // namespace

TSkinResDM::TSkinResDM(TComponent* AOwner) : TDataModule(AOwner) {
    SkinImageListMain = new TSkinImageList(this);
    SkinImageListMain->SetName(u"SkinImageListMain");
}

void TSkinResDM::AfterConstruction() {
    if (const auto store = program_rcdata(skin_store_resource_name)) read_skin_store(*store, *SkinImageListMain);
    TDataModule::AfterConstruction();
}

TSkinResDM* SkinResDM() noexcept {
    return module.get();
}

void recreate_skin_res_dm() {
    module.reset();
    module.reset(CreateDataModule<TSkinResDM>(nullptr));
    module->SetName(u"SkinResDM");
}

void uSkinResDM_startup() {
    recreate_skin_res_dm();
}

void uSkinResDM_shutdown() noexcept {
    module.reset();
}

} // namespace kq
