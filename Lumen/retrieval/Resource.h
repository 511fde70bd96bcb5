#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace Lumen {

class Source;

// Something to download an image from: where it is downloaded from and the key the result is
// cached under. Immutable once made, so sources may share it across threads.
class Resource {
public:
    virtual ~Resource() = default;

    virtual QString cacheKey() const = 0;
    virtual QUrl downloadURL() const = 0;
    // The text that source and error descriptions print for this resource.
    virtual QString description() const = 0;

    // A file URL becomes a provider source that reads the file on the shared concurrent queue;
    // anything else a network source of a new `LM::ImageResource`. Either is keyed by
    // `overrideCacheKey` when given, else by this resource's key.
    Source convertToSource(std::optional<QString> overrideCacheKey = std::nullopt) const;
};

// A plain URL used as a resource: keyed by its `localFileCacheKey` when it is a file URL, else
// by its absolute string; downloaded from itself.
class URLResource final : public Resource {
public:
    explicit URLResource(QUrl url) : m_url(std::move(url)) {}

    QString cacheKey() const override;
    QUrl downloadURL() const override { return m_url; }
    // The URL as shown to people.
    QString description() const override;

private:
    QUrl m_url;
};

} // namespace Lumen
