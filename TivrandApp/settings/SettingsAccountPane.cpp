#include "TivrandApp/settings/SettingsAccountPane.h"

#include "TivrandApp/settings/PlainGroupBox.h"
#include "TivrandApp/settings/SymbolView.h"
#include "TivrandApp/ui/Appearance.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

QLabel* makeLabel(const QString& text, int pixelSize, QFont::Weight weight, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(fontOfSize(pixelSize, weight));
    return label;
}

// A symbol and a label side by side, centred on each other.
QHBoxLayout* makeSymbolRow(SymbolView* symbol, QLabel* label)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    row->addWidget(label, 0, Qt::AlignVCenter);
    row->addStretch(1);
    return row;
}

} // namespace

const QString SettingsAccountPane::privacyStatement = QStringLiteral(
    "Your App Store Connect credentials are stored securely in your Mac's Keychain. Tivrand does not collect, "
    "transmit, or store these credentials on any remote servers. All authentication and API requests are made "
    "directly from your device.");

SettingsAccountPane::SettingsAccountPane(const QString& appVersion, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* title = makeLabel(QStringLiteral("Account Settings"), 13, QFont::DemiBold, this);
    title->setContentsMargins(16, 10, 16, 4);
    layout->addWidget(title);

    m_divider = new QWidget(this);
    m_divider->setFixedHeight(1);
    m_divider->setAutoFillBackground(true);
    layout->addWidget(m_divider);

    auto* column = new QWidget;
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(16, 16, 16, 16);
    columnLayout->setSpacing(0);
    columnLayout->addWidget(makeSection());
    columnLayout->addWidget(makeFooter(appVersion));
    columnLayout->addStretch(1);

    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    // A frameless scroll area would be a stop of the Tab key that shows no focus.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollArea->setWidget(column);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    column->setAutoFillBackground(false);
    layout->addWidget(m_scrollArea, 1);

    applyDerivedColours();
}

QWidget* SettingsAccountPane::makeSection()
{
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);

    auto* header = makeSymbolRow(new SymbolView(QStringLiteral("apple.logo"), 15),
                                 makeLabel(QStringLiteral("App Store Connect"), 14, QFont::Medium, section));
    header->setContentsMargins(0, 0, 0, 2);
    layout->addLayout(header);

    auto* box = new PlainGroupBox(section);
    QVBoxLayout& content = box->contentLayout();
    content.setContentsMargins(12, 12, 12, 12);
    content.setSpacing(10);

    auto* shield = new SymbolView(QStringLiteral("lock.shield.fill"), 14);
    shield->setColor(SystemColor::green);
    content.addLayout(makeSymbolRow(shield, makeLabel(QStringLiteral("Privacy Information"), 13, QFont::Medium, box)));

    // Rich text only for the two points between lines; the statement itself is fixed plain text.
    m_privacyStatementLabel = new QLabel(box);
    m_privacyStatementLabel->setTextFormat(Qt::RichText);
    m_privacyStatementLabel->setText(
        QStringLiteral("<p style=\"line-height: 2px; -qt-line-height-type: line-distance; margin: 0\">%1</p>")
            .arg(privacyStatement.toHtmlEscaped()));
    m_privacyStatementLabel->setWordWrap(true);
    m_privacyStatementLabel->setFont(fontOfSize(12));
    m_privacyStatementLabel->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    content.addWidget(m_privacyStatementLabel);

    layout->addWidget(box);
    return section;
}

QWidget* SettingsAccountPane::makeFooter(const QString& appVersion)
{
    auto* footer = new QWidget;
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(0, 16, 0, 0);
    m_versionLabel = makeLabel(QStringLiteral("v") + appVersion, 12, QFont::Normal, footer);
    layout->addStretch(1);
    layout->addWidget(m_versionLabel);
    layout->addStretch(1);
    return footer;
}

void SettingsAccountPane::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyDerivedColours();
}

void SettingsAccountPane::applyDerivedColours()
{
    const QColor primary = palette().color(QPalette::WindowText);
    const auto setRole = [](QWidget& widget, QPalette::ColorRole role, const QColor& colour) {
        QPalette adjusted = widget.palette();
        adjusted.setColor(role, colour);
        widget.setPalette(adjusted);
    };
    setRole(*m_privacyStatementLabel, QPalette::WindowText, withOpacity(primary, secondaryTextOpacity));
    setRole(*m_versionLabel, QPalette::WindowText, withOpacity(primary, secondaryTextOpacity));
    setRole(*m_divider, QPalette::Window, withOpacity(primary, separatorOpacity));
}

} // namespace Tivrand
