#include "fax/FolderListing.h"

#include "support/FileUtil.h"

#include <dirent.h>

bool ListFolder(const QString& folder, const std::function<void(std::string_view)>& visit) {
    // An empty folder part is the current folder.
    DIR* dir = ::opendir(NativePath(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        visit(name);
    }
    ::closedir(dir);
    return true;
}
