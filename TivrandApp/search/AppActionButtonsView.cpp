#include "TivrandApp/search/AppActionButtonsView.h"

#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QToolButton>

namespace Tivrand {
namespace {

constexpr int buttonSide = 24;
constexpr int symbolSize = 14;

} // namespace

std::optional<QUrl> openableStoreLink(const QString& appStoreUrl)
{
    const QUrl url(appStoreUrl, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme();
    if (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))
        return std::nullopt;
    return url;
}

AppActionButtonsView::AppActionButtonsView(QString appStoreUrl, const QString& appName, bool showAddButton,
                                           UrlOpener opener, QWidget* parent)
    : QWidget(parent)
    , m_appStoreUrl(std::move(appStoreUrl))
    , m_opener(opener ? std::move(opener) : UrlOpener(&QDesktopServices::openUrl))
    , m_openButton(makeButton(QStringLiteral("arrow.up.right.square"), QStringLiteral("Open in App Store"), appName))
    , m_copyButton(makeButton(QStringLiteral("doc.on.doc"), QStringLiteral("Copy Link"), appName))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(m_openButton);
    layout->addWidget(m_copyButton);
    connect(m_openButton, &QToolButton::clicked, this, &AppActionButtonsView::openStorePage);
    connect(m_copyButton, &QToolButton::clicked, this, &AppActionButtonsView::copyStoreLink);

    if (showAddButton) {
        m_addButton = makeButton(QStringLiteral("plus.circle"), QStringLiteral("Add App"), appName);
        layout->addWidget(m_addButton);
        connect(m_addButton, &QToolButton::clicked, this, &AppActionButtonsView::addButtonTapped);
    }
}

QToolButton* AppActionButtonsView::makeButton(const QString& symbol, const QString& action, const QString& appName)
{
    auto* button = new QToolButton(this);
    // A symbol alone says nothing to a screen reader, nor to everyone at first sight.
    const QString name = appName.isEmpty() ? action : action + QStringLiteral(": ") + appName;
    button->setAccessibleName(name);
    setPlainToolTip(*button, name);
    button->setFixedSize(buttonSide, buttonSide);
    button->setIcon(symbolIcon(symbol, Qt::white, symbolSize));
    button->setIconSize(QSize(symbolSize, symbolSize));
    return button;
}

void AppActionButtonsView::openStorePage() const
{
    if (const std::optional<QUrl> link = openableStoreLink(m_appStoreUrl))
        m_opener(*link);
}

void AppActionButtonsView::copyStoreLink() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_appStoreUrl);
}

} // namespace Tivrand
