#pragma once

#include <QByteArray>

#include <memory>

namespace Lumen {

class Indicator;

// A caller's choice of loading indicator for an image view.
class IndicatorType {
public:
    enum class Kind { none, activity, image, custom };

    // No indicator.
    IndicatorType() = default;

    static IndicatorType none() { return IndicatorType(); }
    static IndicatorType activity() { return IndicatorType(Kind::activity, {}, nullptr); }
    // An image indicator made from `data`; GIF data animates.
    static IndicatorType image(QByteArray data) { return IndicatorType(Kind::image, std::move(data), nullptr); }
    // The very indicator given.
    static IndicatorType custom(std::shared_ptr<Indicator> indicator)
    {
        return IndicatorType(Kind::custom, {}, std::move(indicator));
    }

    Kind kind() const { return m_kind; }
    // The data of an `image` type; empty for the others.
    const QByteArray& imageData() const { return m_imageData; }
    // The indicator of a `custom` type; null for the others.
    const std::shared_ptr<Indicator>& customIndicator() const { return m_customIndicator; }

    // A new indicator of this type on every call (a `custom` type answers its own); null
    // for `none` and for image data that is no image. GUI thread only: it makes widgets.
    std::shared_ptr<Indicator> makeIndicator() const;

private:
    IndicatorType(Kind kind, QByteArray imageData, std::shared_ptr<Indicator> customIndicator)
        : m_kind(kind), m_imageData(std::move(imageData)), m_customIndicator(std::move(customIndicator)) {}

    Kind m_kind = Kind::none;
    QByteArray m_imageData;
    std::shared_ptr<Indicator> m_customIndicator;
};

} // namespace Lumen
