#pragma once

#include "Lumen/retrieval/Source.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

namespace Lumen {

class Resource;

// One file of a live photo: where its bytes come from and what kind of file it is. The kind
// names the extension the file is cached under, which the live-photo request tells files by.
struct LivePhotoResource {
    class FileType {
    public:
        enum class Kind { heic, mov, other };

        static FileType heic() { return FileType(Kind::heic, {}); }
        static FileType mov() { return FileType(Kind::mov, {}); }
        // Any other extension, lower-cased. The extension becomes part of a file name, so only
        // one to eight lower-case letters or digits are kept: anything else, the empty text
        // included, leaves the type undetermined, to be told from the file's bytes.
        static FileType other(QStringView fileExtension);
        // By the URL's path extension: "heic" and "mov" in any case name theirs, anything else
        // is `other`.
        static FileType fromURL(const QUrl& url);

        Kind kind() const { return m_kind; }
        // The extension of an `other` type; empty for the others.
        const QString& otherExtension() const { return m_otherExtension; }
        bool isUndetermined() const { return m_kind == Kind::other && m_otherExtension.isEmpty(); }

        // The extension a file of this type with these bytes is stored under: a still's and a
        // movie's own whatever the bytes, which only assembling the live photo checks; for an
        // undetermined type, the container's brand in the bytes (a HEIC still or a QuickTime
        // movie), else none.
        std::optional<QString> determinedFileExtension(const QByteArray& data) const;
        // The extensions a stored file of this type may have, in the order to look for them.
        QStringList lookupExtensions() const;

        // "heic", "mov" or "other(\"<extension>\")".
        QString description() const;

        bool operator==(const FileType&) const = default;

    private:
        FileType(Kind kind, QString otherExtension) : m_kind(kind), m_otherExtension(std::move(otherExtension)) {}

        Kind m_kind;
        QString m_otherExtension;
    };

    // Without a type, the type comes from the source's URL; a source without one is undetermined.
    LivePhotoResource(Source dataSource, std::optional<FileType> fileType = std::nullopt);
    // A network source of `resource`, typed by its download URL unless a type is given.
    LivePhotoResource(std::shared_ptr<const Resource> resource, std::optional<FileType> fileType = std::nullopt);
    // A network source of an `LM::ImageResource`; without a key, a file URL is keyed by its
    // `localFileCacheKey` and any other by its absolute string.
    LivePhotoResource(const QUrl& downloadURL, std::optional<QString> cacheKey = std::nullopt,
                      std::optional<FileType> fileType = std::nullopt);

    Source dataSource;
    FileType referenceFileType;

    // "LivePhotoResource(dataSource: <source>, referenceFileType: <type>)".
    QString description() const;
};

// The files of one live photo, in the order the caller gave them.
struct LivePhotoSource {
    std::vector<LivePhotoResource> resources;

    // Each a network source typed by its download URL.
    static LivePhotoSource fromResources(const std::vector<std::shared_ptr<const Resource>>& resources);
    static LivePhotoSource fromURLs(const std::vector<QUrl>& urls);

    // "LivePhotoSource(resources: [<resource>, ...])".
    QString description() const;
};

} // namespace Lumen
