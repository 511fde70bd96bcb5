#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QToolButton;

namespace Tivrand {

// Hands a link to the desktop (the browser or the store app); answers whether it was taken.
using UrlOpener = std::function<bool(const QUrl&)>;

// The link the open button may hand to the desktop: a well-formed http or https URL with a host.
// Links from catalog data with any other scheme ("file:", "javascript:", custom handlers) are refused.
std::optional<QUrl> openableStoreLink(const QString& appStoreUrl);

// A result row's actions: open the store page, copy its link, and (when asked for) add the app.
// Each button shows a symbol and is named, for screen readers and in its tool tip, by what it does
// and the app it does it to ("Add App: Harbor Notes"), since every row has the same three.
class AppActionButtonsView : public QWidget {
    Q_OBJECT

public:
    // `opener` defaults to the desktop's URL handler.
    AppActionButtonsView(QString appStoreUrl, const QString& appName, bool showAddButton, UrlOpener opener = {},
                         QWidget* parent = nullptr);

    QToolButton& openButton() const { return *m_openButton; }
    QToolButton& copyButton() const { return *m_copyButton; }
    // None unless the add button was asked for.
    QToolButton* addButton() const { return m_addButton; }

signals:
    void addButtonTapped();

private:
    QToolButton* makeButton(const QString& symbol, const QString& action, const QString& appName);
    void openStorePage() const;
    void copyStoreLink() const;

    QString m_appStoreUrl;
    UrlOpener m_opener;
    QToolButton* m_openButton;
    QToolButton* m_copyButton;
    QToolButton* m_addButton = nullptr;
};

} // namespace Tivrand
