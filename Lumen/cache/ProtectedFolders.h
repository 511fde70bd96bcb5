#pragma once

#include "Lumen/cache/FileManager.h"

#include <QString>

#include <optional>
#include <vector>

namespace Lumen {

// The folders no cache may empty: the root its folder was placed in, the home folder, and
// every folder above either, each as its path names it now and as it really lies (a path
// may pass through links). A folder about to be emptied is judged by the identity of the
// descriptor the work will use, so a link swapped in after the judgement leads nowhere.
class ProtectedFolders {
public:
    // Looks at the folders now; those that do not exist protect nothing.
    explicit ProtectedFolders(const QString& root);

    // Why emptying `folder` would remove what is not the cache's own; none when it would not.
    std::optional<QString> refusalOf(FileIdentity folder) const;

private:
    struct Protected {
        FileIdentity identity;
        QString why;
    };

    // Adds `path` (described by `is`) and every folder above it (described by `holds`).
    void protect(const QString& path, const QString& is, const QString& holds);

    std::vector<Protected> m_folders;
};

} // namespace Lumen
