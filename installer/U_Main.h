#pragma once
// TForm4, the installer's one window: the install folder, three shortcut choices and the install button,
// then the progress of the install and the finish button. Built from its form resource; the handlers
// below are wired there by name.
#include "framework/Forms.h"

namespace kq {

class TSkFormLayerBorder;
class TSkinButton;
class TSkinCheckBox;
class TSkinEdit;
class TSkinForm;
class TSkinImageButton;
class TSkinLabel;
class TSkinNCLabel;
class TSkinPanel;
class TSkinProgressBar;
class TSkinSystemButton;

class TForm4 : public TForm {
public:
    explicit TForm4(TComponent* AOwner);
    ~TForm4() override;

    // The components of the form resource, bound by name when it is read.
    TSkinForm* sknfrm1 = nullptr;
    TSkinSystemButton* btn1 = nullptr;
    TSkinPanel* pnl1 = nullptr;
    TSkinCheckBox* chk1 = nullptr;
    TSkinCheckBox* chk2 = nullptr;
    TSkinSystemButton* btn7 = nullptr;
    TSkFormLayerBorder* skfrmlyrbrdr1 = nullptr;
    TSkinNCLabel* nclbl1 = nullptr;
    TSkinEdit* SetupToPath = nullptr;
    TSkinLabel* SkinLabel1 = nullptr;
    TSkinImageButton* SkinImageButton1 = nullptr;
    TSkinButton* SkinButton1 = nullptr;
    TSkinPanel* SkinPanel1 = nullptr;
    TSkinLabel* SkinLabel2 = nullptr;
    TSkinImageButton* SkinImageButton2 = nullptr;
    TSkinProgressBar* SkinProgressBar1 = nullptr;
    TSkinCheckBox* chk3 = nullptr;

    // The browse button: the chosen folder replaces the install folder's text.
    void SkinButton1Click(TObject* Sender);
    // The install button: installs into the folder and makes the chosen shortcuts.
    void SkinImageButton1Click(TObject* Sender);
    // The finish button: closes the window, which ends the program.
    void SkinImageButton2Click(TObject* Sender);

    const property_table& PublishedProperties() const override;
    void Loaded() override;

protected:
    void CreateWnd() override;

private:
    friend class form_install_view;
    // Leaves the options for the progress panel, the bar at its start.
    void show_progress_panel();
    // Back from the progress panel to the options after a failed install.
    void show_options_panel();
};

// Registers the classes of the form resource.
void u_main_startup();

} // namespace kq
