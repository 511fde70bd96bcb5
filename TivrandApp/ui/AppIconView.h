#pragma once

#include <QUrl>
#include <QWidget>

namespace Tivrand {

// An app's icon, 40 x 40 with rounded corners, for the search results and the watch list alike.
// It keeps the icon's URL for the image loading to come, and meanwhile shows the placeholder: a
// gray rounded square under a small busy indicator.
class AppIconView : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 40;

    explicit AppIconView(QWidget* parent = nullptr);

    // A text that does not form a URL gives no URL.
    void setIconUrl(const QString& iconUrl);
    const QUrl& iconUrl() const { return m_iconUrl; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QUrl m_iconUrl;
};

} // namespace Tivrand
