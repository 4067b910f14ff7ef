#pragma once
// Shell_link, ".lnk" files.
#include "framework/ComObjects.h"
#include "framework/Strings.h"

#include <shobjidl.h>

namespace kq {

// The shell's link object (a ".lnk" file) through its link and persist-file interfaces. Needs COM on the
// calling thread (com_thread). A failed call raises EOleSysError; saving and loading raise the file errors.
class shell_link {
public:
    // EOleSysError when the object cannot be created, EIntfCastError when it lacks an interface.
    shell_link();

    void set_path(const String& path);
    void set_working_directory(const String& folder);
    void set_description(const String& text);

    String path() const;
    String working_directory() const;
    String description() const;

    // EFCreateError "Cannot create file "%s". %s" with the system's reason. The object does not take the
    // file as its own.
    void save(const String& file_name);
    // EFOpenError "Cannot open file "%s". %s" with the system's reason.
    void load(const String& file_name);

private:
    com_ptr<IShellLinkW> FLink;
    com_ptr<IPersistFile> FFile;
};

} // namespace kq
