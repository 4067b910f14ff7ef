#pragma once

#include "framework/Components.h"
#include "skin/uSkinImageList.h"

namespace kq {

// The base of the image store's module. A plain component stands in until the framework's data module
// exists; nothing else here depends on which it is.
using skin_res_dm_base = TComponent;

// The program's built-in skin images: SkinImageListMain holds the items of the program's store resource
// "TSKINRESDM" (none when the program carries no store).
class TSkinResDM : public skin_res_dm_base {
public:
    explicit TSkinResDM(TComponent* AOwner);

    TSkinImageList* SkinImageListMain = nullptr; // owned by the module
};

// The one module of the program, from the skin library's start-up to its shutdown; nil outside.
TSkinResDM* SkinResDM() noexcept;
// Frees the module and makes it again from the store (named "SkinResDM", no owner).
void RecreateSkinResDM();
void uSkinResDM_startup();
void uSkinResDM_shutdown() noexcept;

} // namespace kq
