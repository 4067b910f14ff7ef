#pragma once
// TSkinResManager: resolves skin image names, from an existing image file first, then the program's built-in store.

#include "framework/Components.h"
#include "skin/uSkinImageList.h"

#include <cstdint>
#include <memory>

namespace kq {

class TBitmap32;

// The front end that resolves image names: an existing image file first, then the program's built-in store.
// Images it hands out belong to it: they stay valid until Delete, Reload or the skin library's shutdown.
class TSkinResManager : public TPersistent {
public:
    TSkinResManager();
    ~TSkinResManager() override;

    // The main store (the data module's list, not owned).
    TSkinImageList* ImageList() const noexcept;
    TSkinImageList* RunTimeImageList() const noexcept { return FRunTimeImageList.get(); }
    bool Designing() const noexcept { return FDesigning; }
    void SetDesigning(bool Value) noexcept { FDesigning = Value; }

    // A blank name gives nil. An existing file of that name comes first (its loader's error reaches the
    // caller); otherwise the store's image, names compared trimmed and without regard to case; nil when none.
    TSkinImage* GetImageByName(const String& ResID);
    // The run-time list's image of that file, loading it on first use; raises the loader's error.
    TSkinImage* GetImageByFileName(const String& FileName);
    int IndexOfRes(const String& ResID) const;
    int IndexOfFileName_RunTime(const String& FileName) const;

    int AddRes(const TBitmap32* AImage, const String& ResID, const String& Description);
    // An empty ResID becomes the file's name without its final extension.
    int add_res_file(const String& AImageFileName, String ResID, const String& Description);
    int add_res_resource(std::uintptr_t Instance, const String& ResourceName, const String& ResID,
                       const String& Description);
    // Reloads the store image DestResID from the file (it keeps its name); -1 when the store lacks it.
    int ReplaceRes(const String& DestResID, const String& AImageFileName);
    void Delete(const String& ResID);
    void BeginUpdate();
    void EndUpdate();
    // Makes the data module again; the images handed out before are gone.
    void Reload();
    // Replaces the store's items by those of the component-text file RunTimeResFileName (by default
    // "SkinDesignTimeRes.tmp" in the skin's install folder), first writing the store into it when it
    // does not exist.
    void Refresh(const String& RunTimeResFileName);

protected:
    virtual void ResourcesChanged() {}

private:
    std::unique_ptr<TSkinImageList> FRunTimeImageList;
    bool FDesigning = false;
};

// The one manager, made on first use; freed by the skin library's shutdown.
TSkinResManager* SkinResManager();
// Lets state strips find their images by name through the one manager.
void uSkinResManager_startup() noexcept;
void uSkinResManager_shutdown() noexcept;

} // namespace kq
