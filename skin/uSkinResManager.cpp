#include "skin/uSkinResManager.h"

#include "framework/ComponentText.h"
#include "framework/Conversions.h"
#include "framework/Streams.h"
#include "skin/uSkComm.h"
#include "skin/uSkPng.h"
#include "skin/uSkinResDM.h"

#include <cassert>

namespace kq {
namespace {

std::unique_ptr<TSkinResManager> manager;

bool same_name(const String& a, const String& b) {
    return SameText(Trim(a), Trim(b));
}

int index_of(const TSkinImageList* list, const String& name) {
    if (!list) return -1;
    const TSkinBitmapCollection& items = *list->Bitmaps();
    for (int i = 0; i < items.Count(); ++i)
        if (same_name(items.Items(i)->ResID(), name)) return i;
    return -1;
}

// A PNG keeps its transparency (blended when it has any); other files go through the bitmap's loader.
void load_image_file(TBitmap32& image, const String& file_name) {
    if (UpperCase(ExtractFileExt(file_name)) == u".PNG") {
        bool alpha_used = false;
        LoadPngFileIntoBitmap32(image, file_name, alpha_used);
        image.SetDrawMode(alpha_used ? dmBlend : dmOpaque);
    } else {
        image.LoadFromFile(file_name);
    }
}

} // namespace

TSkinResManager::TSkinResManager() : FRunTimeImageList(std::make_unique<TSkinImageList>(nullptr)) {}

TSkinResManager::~TSkinResManager() = default;

TSkinImageList* TSkinResManager::ImageList() const noexcept {
    TSkinResDM* dm = SkinResDM();
    return dm ? dm->SkinImageListMain : nullptr;
}

TSkinImage* TSkinResManager::GetImageByName(const String& ResID) {
    if (Trim(ResID).empty()) return nullptr;
    if (FileExists(ResID))
        if (TSkinImage* image = GetImageByFileName(ResID)) return image;
    const int i = IndexOfRes(ResID);
    return i >= 0 ? ImageList()->Bitmap(i) : nullptr;
}

TSkinImage* TSkinResManager::GetImageByFileName(const String& FileName) {
    if (const int i = IndexOfFileName_RunTime(FileName); i >= 0) return FRunTimeImageList->Bitmap(i);
    TSkinImage loaded;
    load_image_file(loaded, FileName);
    TSkinBitmapItem* item = FRunTimeImageList->Bitmaps()->Add();
    item->SetResID(FileName);
    item->SetBitmap(&loaded);
    return item->Bitmap();
}

int TSkinResManager::IndexOfRes(const String& ResID) const {
    return index_of(ImageList(), ResID);
}

int TSkinResManager::IndexOfFileName_RunTime(const String& FileName) const {
    return index_of(FRunTimeImageList.get(), FileName);
}

int TSkinResManager::AddRes(const TBitmap32* AImage, const String& ResID, const String& Description) {
    assert(ImageList() && "the skin library has not started");
    TSkinBitmapCollection& items = *ImageList()->Bitmaps();
    TSkinBitmapItem* item = items.Add();
    item->SetBitmap(AImage);
    item->SetResID(ResID);
    item->SetDescription(Description);
    ResourcesChanged();
    return items.Count() - 1;
}

int TSkinResManager::add_res_file(const String& AImageFileName, String ResID, const String& Description) {
    TSkinImage image;
    load_image_file(image, AImageFileName);
    if (ResID.empty()) {
        ResID = ExtractFileName(AImageFileName);
        ResID.resize(ResID.size() - ExtractFileExt(ResID).size());
    }
    return AddRes(&image, ResID, Description);
}

int TSkinResManager::add_res_resource(std::uintptr_t Instance, const String& ResourceName, const String& ResID,
                                    const String& Description) {
    TSkinImage image;
    image.LoadFromResourceName(reinterpret_cast<HINSTANCE>(Instance), ResourceName);
    return AddRes(&image, ResID, Description);
}

int TSkinResManager::ReplaceRes(const String& DestResID, const String& AImageFileName) {
    const int i = IndexOfRes(DestResID);
    if (i < 0) return -1;
    TSkinImage image;
    load_image_file(image, AImageFileName);
    ImageList()->SetBitmap(i, &image);
    ResourcesChanged();
    return i;
}

void TSkinResManager::Delete(const String& ResID) {
    if (const int i = IndexOfRes(ResID); i >= 0) {
        ImageList()->Bitmaps()->Delete(i);
        ResourcesChanged();
    } else if (const int j = IndexOfFileName_RunTime(ResID); j >= 0) {
        FRunTimeImageList->Bitmaps()->Delete(j);
    }
}

void TSkinResManager::BeginUpdate() {
    ImageList()->Bitmaps()->BeginUpdate();
}

void TSkinResManager::EndUpdate() {
    ImageList()->Bitmaps()->EndUpdate();
}

void TSkinResManager::Reload() {
    recreate_skin_res_dm();
}

void TSkinResManager::Refresh(const String& RunTimeResFileName) {
    String file = RunTimeResFileName;
    if (file.empty()) {
        GetSkinInstallPath(file);
        file += u"SkinDesignTimeRes.tmp";
    }
    if (!FileExists(file)) {
        // A file that cannot be made (no such folder, or another process making it meanwhile) is
        // judged by whether it exists afterwards.
        try {
            TFileStream out(file, fmCreate | fmShareDenyWrite);
            write_component_text(out, *ImageList());
        } catch (const EFCreateError&) {
        }
    }
    if (!FileExists(file)) throw Exception(u"Not found SkinDesignTimeRes.tmp file!");
    TFileStream in(file, fmOpenRead | fmShareDenyWrite);
    read_component_text(in, *ImageList());
}

TSkinResManager* SkinResManager() {
    if (!manager) manager = std::make_unique<TSkinResManager>();
    return manager.get();
}

void uSkinResManager_startup() noexcept {
    set_skin_image_lookup([](const String& ResID) { return SkinResManager()->GetImageByName(ResID); });
}

void uSkinResManager_shutdown() noexcept {
    manager.reset();
}

} // namespace kq
