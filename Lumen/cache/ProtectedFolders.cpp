#include "Lumen/cache/ProtectedFolders.h"

#include "Lumen/cache/PosixFileFacts.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>

namespace Lumen {

using namespace PosixFiles;

namespace {

// Deeper than any path the system resolves (PATH_MAX holds at most half as many levels).
constexpr int maxLevels = 4096;

std::optional<FileIdentity> identityOf(int descriptor)
{
    struct stat info {};
    if (::fstat(descriptor, &info) != 0)
        return std::nullopt;
    return metadataFrom(info).identity;
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

ProtectedFolders::ProtectedFolders(const QString& root)
{
    const QString cleanRoot = QDir::cleanPath(root);
    protect(cleanRoot, QStringLiteral("it is the root %1 itself").arg(cleanRoot),
            QStringLiteral("it holds the root %1").arg(cleanRoot));
    const QString home = QDir::cleanPath(QDir::homePath());
    protect(home, QStringLiteral("it is the home folder"), QStringLiteral("it holds the home folder %1").arg(home));
}

std::optional<QString> ProtectedFolders::refusalOf(FileIdentity folder) const
{
    for (const Protected& candidate : m_folders) {
        if (candidate.identity == folder)
            return candidate.why;
    }
    return std::nullopt;
}

void ProtectedFolders::protect(const QString& path, const QString& is, const QString& holds)
{
    // As the path names them: the folder, then each folder the path passes through.
    QString named = path;
    for (int level = 0; level < maxLevels && !named.isEmpty(); ++level) {
        struct stat info {};
        if (::stat(QFile::encodeName(named).constData(), &info) == 0)
            m_folders.push_back(Protected{metadataFrom(info).identity, level == 0 ? is : holds});
        if (named == QLatin1String("/"))
            break;
        named = parentOf(named);
    }

    // As it really lies: each folder above it, reached through the ".." of the one below, up
    // to the file system's root, whose ".." is itself.
    int current = ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::optional<FileIdentity> identity = current >= 0 ? identityOf(current) : std::nullopt;
    for (int level = 0; identity && level < maxLevels; ++level) {
        m_folders.push_back(Protected{*identity, level == 0 ? is : holds});
        const int above = ::openat(current, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(current);
        current = above;
        const std::optional<FileIdentity> aboveIdentity = current >= 0 ? identityOf(current) : std::nullopt;
        identity = aboveIdentity == identity ? std::nullopt : aboveIdentity;
    }
    if (current >= 0)
        ::close(current);
}

} // namespace Lumen
