#pragma once

#include "TivrandApp/ui/IconPlaceholder.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

namespace Lumen {
class LMImage;
}

namespace Tivrand {

// An app's icon, 40 x 40 with rounded corners, for the search results and the watch list alike:
// loaded from the icon's URL through the image library and faded in when downloaded. Until it
// is there a gray rounded square under a turning progress indicator stands in its place; when
// it cannot be loaded (which is printed) the square stays and the indicator goes.
class AppIconView : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 40;

    explicit AppIconView(QWidget* parent = nullptr);

    // Only an http or https URL is loaded; any other text gives no URL, and so no icon.
    void setIconUrl(const QString& iconUrl);
    const QUrl& iconUrl() const { return m_iconUrl; }

    Lumen::LMImage& image() const { return *m_image; }
    // The placeholder of the latest load while it is shown, else none.
    IconPlaceholder* placeholder() const { return m_placeholder; }

private:
    static QUrl usableIconUrl(const QString& iconUrl);
    bool hasFailed() const;

    QUrl m_iconUrl;
    Lumen::LMImage* m_image;
    QPointer<IconPlaceholder> m_placeholder;
};

} // namespace Tivrand
