#pragma once

#include "Lumen/retrieval/Source.h"

#include <QString>

#include <vector>

namespace Lumen {

// One file of a live photo: where its bytes come from and what kind of file it is.
struct LivePhotoResource {
    class FileType {
    public:
        enum class Kind { heic, mov, other };

        static FileType heic() { return FileType(Kind::heic, {}); }
        static FileType mov() { return FileType(Kind::mov, {}); }
        // Any other extension; an empty one means the type is not determined yet.
        static FileType other(QString fileExtension) { return FileType(Kind::other, std::move(fileExtension)); }

        Kind kind() const { return m_kind; }
        // The extension of an `other` type; empty for the others.
        const QString& otherExtension() const { return m_otherExtension; }

        // "heic", "mov" or "other(\"<extension>\")".
        QString description() const;

        bool operator==(const FileType&) const = default;

    private:
        FileType(Kind kind, QString otherExtension) : m_kind(kind), m_otherExtension(std::move(otherExtension)) {}

        Kind m_kind;
        QString m_otherExtension;
    };

    Source dataSource;
    FileType referenceFileType;

    // "LivePhotoResource(dataSource: <source>, referenceFileType: <type>)".
    QString description() const;
};

// The files of one live photo, in the order the caller gave them.
struct LivePhotoSource {
    std::vector<LivePhotoResource> resources;

    // "LivePhotoSource(resources: [<resource>, ...])".
    QString description() const;
};

} // namespace Lumen
