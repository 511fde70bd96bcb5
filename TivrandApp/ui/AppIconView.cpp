#include "TivrandApp/ui/AppIconView.h"

#include "TivrandApp/services/Diagnostics.h"
#include "TivrandApp/ui/IconPlaceholder.h"

#include "Lumen/retrieval/Resource.h"
#include "Lumen/views/LMImage.h"

namespace Tivrand {
namespace {

constexpr qreal cornerRadius = 8;
constexpr double fadeSeconds = 0.25;

} // namespace

AppIconView::AppIconView(QWidget* parent)
    : QWidget(parent)
    , m_image(new Lumen::LMImage(std::optional<Lumen::Source>(), this))
{
    setFixedSize(side, side);
    m_image->setFixedSize(side, side);
    m_image->placeholder([this] {
                auto placeholder = std::make_unique<IconPlaceholder>(cornerRadius);
                m_placeholder = placeholder.get();
                if (hasFailed())
                    placeholder->showFailed();
                return placeholder;
            })
        // The outcome arrives on a later turn, when this view may be gone.
        .onFailure([self = QPointer<AppIconView>(this)](const Lumen::LumenError& error) {
            printLine(QStringLiteral("Icon yükleme hatası: ") + error.localizedDescription());
            // The failure of an earlier load may arrive while a later one runs.
            if (self && self->m_placeholder && self->hasFailed())
                self->m_placeholder->showFailed();
        })
        .resizable()
        .fade(fadeSeconds)
        .aspectRatio(Lumen::ContentMode::aspectFit)
        .cornerRadius(cornerRadius);
}

void AppIconView::setIconUrl(const QString& iconUrl)
{
    m_iconUrl = usableIconUrl(iconUrl);
    m_image->setSource(m_iconUrl.isEmpty() ? std::nullopt
                                           : std::optional(Lumen::URLResource(m_iconUrl).convertToSource()));
}

QUrl AppIconView::usableIconUrl(const QString& iconUrl)
{
    const QUrl url(iconUrl, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // Other schemes would let a catalog record read local files or reach other handlers.
    const bool web = scheme == QStringLiteral("http") || scheme == QStringLiteral("https");
    return url.isValid() && web && !url.host().isEmpty() ? url : QUrl();
}

bool AppIconView::hasFailed() const
{
    const Lumen::LMImageBinder& binder = m_image->binder();
    return binder.loaded() && !binder.loadedImage();
}

} // namespace Tivrand
