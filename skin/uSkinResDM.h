#pragma once
// TSkinResDM: the data module holding the program's built-in skin images.

#include "framework/DataModules.h"
#include "skin/uSkinImageList.h"

namespace kq {

// The program's skin image store resource (RCDATA): the built-in images, in the layout of
// skin/SkinImageStore.h.
inline constexpr char16_t skin_store_resource_name[] = u"SKINIMAGESTORE";

// The program's built-in skin images: SkinImageListMain holds the items of the program's store resource
// (none when the program carries no store). Made with CreateDataModule.
class TSkinResDM : public TDataModule {
public:
    explicit TSkinResDM(TComponent* AOwner);

    // Reads the store, then the module's own resource and OnCreate as every data module does.
    void AfterConstruction() override;

    TSkinImageList* SkinImageListMain = nullptr; // owned by the module
};

// The one module of the program, from the skin library's start-up to its shutdown; nil outside.
TSkinResDM* SkinResDM() noexcept;
// Frees the module and makes it again from the store (named "SkinResDM", no owner).
void recreate_skin_res_dm();
void uSkinResDM_startup();
void uSkinResDM_shutdown() noexcept;

} // namespace kq
