#pragma once
// TSkinCustomEditTips, TSkinEditTips: the balloon tip a skinned edit shows to its right.

#include "installer/controls/SkinEditHost.h"
#include "installer/controls/uSkinTips.h"

namespace kq {

class TSkinCustomEditTips : public TSkinCustomTips {
public:
    // Belongs to Edit, which frees it.
    explicit TSkinCustomEditTips(skin_edit_host* Edit);

    skin_edit_host* Edit() const noexcept { return FOwner; }
    // To the right of the edit, centred on it (5 pixels higher).
    void Show(const String& Tips);
    // LeftTop in the edit's parent's client coordinates.
    void Show(TPoint LeftTop, const String& Tips);
    void Hide() { free_windows(); }

private:
    skin_edit_host* FOwner;
};

class TSkinEditTips : public TSkinCustomEditTips {
public:
    using TSkinCustomEditTips::TSkinCustomEditTips;

    const property_table& PublishedProperties() const override;
};

} // namespace kq
