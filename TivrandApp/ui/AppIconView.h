#pragma once

#include <QUrl>
#include <QWidget>

namespace Lumen {
class LMImage;
}

namespace Tivrand {

// An app's icon, 40 x 40 with rounded corners, for the search results and the watch list alike:
// loaded from the icon's URL through the image library and faded in when downloaded. Until it
// is there, and for good when it cannot be loaded (which is printed), a gray rounded square
// stands in its place.
class AppIconView : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 40;

    explicit AppIconView(QWidget* parent = nullptr);

    // A text that does not form a URL gives no URL, and so no icon.
    void setIconUrl(const QString& iconUrl);
    const QUrl& iconUrl() const { return m_iconUrl; }

    Lumen::LMImage& image() const { return *m_image; }

private:
    QUrl m_iconUrl;
    Lumen::LMImage* m_image;
};

} // namespace Tivrand
