#pragma once
// TSkinCustomEditTips, TSkinEditTips: the balloon tip a skinned edit shows to its right.

#include "installer/controls/uSkinTips.h"

namespace kq {

class TSkinPngEdit;

class TSkinCustomEditTips : public TSkinCustomTips {
public:
    // Belongs to Edit, which frees it.
    explicit TSkinCustomEditTips(TSkinPngEdit* Edit);

    TSkinPngEdit* Edit() const noexcept { return FOwner; }
    // To the right of the edit, centred on it (5 pixels higher).
    void Show(const String& Tips);
    // LeftTop in the edit's parent's client coordinates.
    void Show(TPoint LeftTop, const String& Tips);
    void Hide() { free_windows(); }

private:
    TSkinPngEdit* FOwner;
};

class TSkinEditTips : public TSkinCustomEditTips {
public:
    using TSkinCustomEditTips::TSkinCustomEditTips;

    const property_table& PublishedProperties() const override;
};

} // namespace kq
