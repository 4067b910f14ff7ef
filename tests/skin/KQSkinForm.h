#pragma once
// KQ's main window's skin values on a plain test form, for the skin form's tests and its benchmark.

#include "framework/Forms.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"

namespace kq::test {

struct kq_skin_form {
    TForm* form;
    TSkinForm* skin;
    TSkinSystemButton* minimize;
    TSkinSystemButton* close;
    TSkinNCLabel* label;
};

// A sizeable form at (100,80) with a skin form of its own.
inline TForm* make_skinned_form(int width, int height, TSkinForm*& skin) {
    TForm* form = CreateForm<TForm>(Application);
    form->SetBorderStyle(TFormBorderStyle::bsSizeable);
    form->SetBounds(100, 80, width, height);
    form->SetCaption(u"Skinned");
    skin = new TSkinForm(form);
    return form;
}

// A teal title bar 28 high without frame, two system buttons at the right, the white bold caption.
inline kq_skin_form make_kq_skin_form() {
    kq_skin_form k{};
    k.form = make_skinned_form(480, 320, k.skin);
    k.skin->SetFlatFrame(true);
    k.skin->SetTitleHeight(28);
    k.skin->SetTitlerColor(11837458);
    k.skin->SetColor(clSilver);
    k.skin->SetRoundWindow(false);
    k.skin->SetFramWidth(0);
    k.skin->SetDoubleFrame(false);
    const auto place = [](TSkinSystemButton* b, int from_right) {
        b->Pos().SetUseDefault(false);
        b->Pos().SetAlign(caRight);
        b->Pos().SetXValue(from_right);
        b->Pos().SetYValue(0);
    };
    k.minimize = new TSkinSystemButton(k.form);
    k.minimize->SetKind(bkMinimize);
    place(k.minimize, 60);
    k.close = new TSkinSystemButton(k.form);
    place(k.close, 30);
    k.label = new TSkinNCLabel(k.form);
    k.label->Font().SetColor(clWhite);
    k.label->Font().SetStyle({TFontStyle::fsBold});
    k.label->SetCaption(u"Tessaro  --  test");
    return k;
}

} // namespace kq::test
