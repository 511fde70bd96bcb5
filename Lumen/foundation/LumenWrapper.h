#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/RectCorner.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <utility>

namespace Lumen {

// The library's operations on types it does not own hang on a wrapper reached through
// `lm(value)`: `lm(key).sha256()`, `lm(size).constrained(target)`. A wrapper holds only
// `base` (the object itself for images, a copy for values) and lives for one expression.
//
// Each wrapped type has a specialization below that declares its operations; every
// operation is defined in the source file of its own area (named beside the group).
// A later area adds its declarations to the group of its type and defines them in its
// own .cpp. A type that gets `lm` later (a view, a button) declares its own
// specialization and `lm` overload in its own header.

template<class Base>
class LumenWrapperBase {
public:
    explicit LumenWrapperBase(Base base) : m_base(std::move(base)) {}

    const Base& base() const { return m_base; }

private:
    Base m_base;
};

template<class Base>
class LumenWrapper;

// Parameter types of the imaging operations (Lumen/foundation/imaging/).
enum class ImageFormat;
enum class CompositingOperation : unsigned;
class JPEGMarker;
class Radius;
struct Border;
class Filter;

// Images: `base` is the very image object (nullptr when there is none).
template<>
class LumenWrapper<ImagePtr> : public LumenWrapperBase<ImagePtr> {
public:
    using LumenWrapperBase::LumenWrapperBase;

    // imaging/ImagingWrapper.cpp: encoding (ImageEncoding.h), drawing (ImagePainting.h,
    // ImageResampling.h, ImageBlur.h) and filters (ImageFilter.h); see those headers.
    QSize pixelSize() const;
    std::optional<QByteArray> pngRepresentation() const;
    std::optional<QByteArray> jpegRepresentation(double compressionQuality) const;
    std::optional<QByteArray> gifRepresentation() const;
    std::optional<QByteArray> data(ImageFormat format, double compressionQuality) const;
    ImagePtr pixelFixed(const QImage& bitmap) const;
    ImagePtr composited(CompositingOperation operation, double alpha,
                        std::optional<QColor> backgroundColor = std::nullopt) const;
    ImagePtr roundedCorners(Radius radius, QSizeF size, RectCorner corners,
                            std::optional<QColor> backgroundColor = std::nullopt) const;
    ImagePtr roundedCorners(double cornerRadius, QSizeF size, RectCorner corners,
                            std::optional<QColor> backgroundColor = std::nullopt) const;
    ImagePtr bordered(const Border& border) const;
    ImagePtr resized(QSizeF size) const;
    ImagePtr resized(QSizeF size, ContentMode mode) const;
    ImagePtr cropped(QSizeF size, QPointF anchor) const;
    ImagePtr blurred(double radius) const;
    ImagePtr overlaid(const QColor& color, double fraction) const;
    ImagePtr scaled(double factor) const;
    ImagePtr decoded(double scale = 1.0) const;
    ImagePtr decoded(QImage& context) const;
    ImagePtr applying(const Filter& filter) const;
    ImagePtr tinted(const QColor& color) const;
    ImagePtr colorAdjusted(double brightness, double contrast, double saturation, double inputEV) const;
};

// Encoded image data.
template<>
class LumenWrapper<QByteArray> : public LumenWrapperBase<QByteArray> {
public:
    using LumenWrapperBase::LumenWrapperBase;

    // imaging/ImagingWrapper.cpp (ImageFormat.h)
    ImageFormat imageFormat() const;
    bool contains(JPEGMarker marker) const;
};

// Sizes.
template<>
class LumenWrapper<QSizeF> : public LumenWrapperBase<QSizeF> {
public:
    using LumenWrapperBase::LumenWrapperBase;

    // Geometry.cpp
    QSizeF resize(QSizeF target, ContentMode mode) const;
    QSizeF constrained(QSizeF target) const;
    QSizeF filling(QSizeF target) const;
    QRectF constrainedRect(QSizeF wanted, QPointF anchor) const;
};

// Texts, above all cache keys.
template<>
class LumenWrapper<QString> : public LumenWrapperBase<QString> {
public:
    using LumenWrapperBase::LumenWrapperBase;

    // Digest.cpp
    QString sha256() const;
    // KeyHelpers.cpp
    std::optional<QString> fileExtension() const;
};

inline LumenWrapper<ImagePtr> lm(ImagePtr image)
{
    return LumenWrapper<ImagePtr>(std::move(image));
}

inline LumenWrapper<QByteArray> lm(QByteArray data)
{
    return LumenWrapper<QByteArray>(std::move(data));
}

inline LumenWrapper<QSizeF> lm(QSizeF size)
{
    return LumenWrapper<QSizeF>(size);
}

inline LumenWrapper<QString> lm(QString text)
{
    return LumenWrapper<QString>(std::move(text));
}

} // namespace Lumen
