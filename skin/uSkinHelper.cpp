#include "skin/uSkinHelper.h"

namespace kq {
namespace {

std::unique_ptr<TSkFormSkinHelper> form_helper;
std::unique_ptr<TSkWinControlHelper> control_helper;

} // namespace

void TSkFormSkinHelper::Add(TForm* AForm, TSkinForm* ASkinForm) {
    FList.push_back(std::make_unique<TFormSkinHelperDataRec>(TFormSkinHelperDataRec{AForm, ASkinForm}));
}

int TSkFormSkinHelper::IndexOf(const TForm* AForm) const noexcept {
    for (std::size_t i = 0; i < FList.size(); ++i)
        if (FList[i]->Form == AForm) return static_cast<int>(i);
    return -1;
}

PFormSkinHelperData TSkFormSkinHelper::Get(const TForm* AForm) const noexcept {
    const int i = IndexOf(AForm);
    return i < 0 ? nullptr : FList[static_cast<std::size_t>(i)].get();
}

void TSkFormSkinHelper::Remove(const TForm* AForm) {
    const int i = IndexOf(AForm);
    if (i >= 0) FList.erase(FList.begin() + i);
}

TSkFormSkinHelper* FormSkinHelper() {
    if (!form_helper) form_helper = std::make_unique<TSkFormSkinHelper>();
    return form_helper.get();
}

TSkWinControlHelper* WinControlHelper() {
    if (!control_helper) control_helper = std::make_unique<TSkWinControlHelper>();
    return control_helper.get();
}

void uSkinHelper_shutdown() noexcept {
    form_helper.reset();
    control_helper.reset();
}

} // namespace kq
