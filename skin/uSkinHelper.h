#pragma once
// TSkFormSkinHelper and TSkWinControlHelper: the registries of skinned forms and of skinned controls.

#include <memory>
#include <vector>

namespace kq {

class TForm;
class TSkinForm;
class TSkinCustomControl;

// One registered form and its skin form; neither is owned.
struct TFormSkinHelperDataRec {
    TForm* Form = nullptr;
    TSkinForm* SkinObj = nullptr;
};
using PFormSkinHelperData = TFormSkinHelperDataRec*;

// Which forms have a skin form, in registration order. GUI thread only.
class TSkFormSkinHelper {
public:
    int Count() const noexcept { return static_cast<int>(FList.size()); }
    // The entries, owned by the registry.
    const std::vector<std::unique_ptr<TFormSkinHelperDataRec>>& Items() const noexcept { return FList; }

    // No duplicate check: a form registered twice has two entries.
    void Add(TForm* AForm, TSkinForm* ASkinForm);
    // The first entry of AForm; -1 / nil when there is none.
    int IndexOf(const TForm* AForm) const noexcept;
    PFormSkinHelperData Get(const TForm* AForm) const noexcept;
    // Frees the first entry of AForm, if any.
    void Remove(const TForm* AForm);

private:
    std::vector<std::unique_ptr<TFormSkinHelperDataRec>> FList;
};

// The skinned controls that exist, in the order they were added (not owned). GUI thread only.
class TSkWinControlHelper {
public:
    std::vector<TSkinCustomControl*>& Items() noexcept { return FItems; }

private:
    std::vector<TSkinCustomControl*> FItems;
};

// Each registry is made on first use and lives until the skin library's shutdown.
TSkFormSkinHelper* FormSkinHelper();
TSkWinControlHelper* WinControlHelper();
void uSkinHelper_shutdown() noexcept;

} // namespace kq
