#include "TivrandApp/ui/SymbolIcon.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace Tivrand {
namespace {

QString cacheKey(const QString& name, const QColor& color, int size, qreal ratio)
{
    return QStringLiteral("Tivrand.symbol:%1:%2:%3:%4")
        .arg(name, color.name(QColor::HexArgb), QString::number(size), QString::number(ratio, 'f', 2));
}

QPixmap renderSymbol(const QString& name, const QColor& color, int size, qreal ratio)
{
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    if (size <= 0 || !QFile::exists(path))
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);

    const int side = qRound(size * ratio);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, side, side));
    // The drawings are monochrome: keep their coverage and paint it in the wanted colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();

    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace

QPixmap symbolPixmap(const QString& name, const QColor& color, int size)
{
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString key = cacheKey(name, color, size, ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = renderSymbol(name, color, size, ratio);
    if (!pixmap.isNull())
        QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QIcon symbolIcon(const QString& name, const QColor& color, int size)
{
    const QPixmap pixmap = symbolPixmap(name, color, size);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QLabel* symbolLabel(const QString& name, const QColor& color, int size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setPixmap(symbolPixmap(name, color, size));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace Tivrand
