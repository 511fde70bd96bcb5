#include "TivrandApp/sidebar/CountrySelector.h"

#include "TivrandApp/sidebar/CountryFlag.h"
#include "TivrandApp/sidebar/CountryPickerPopover.h"
#include "TivrandApp/ui/Appearance.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

namespace Tivrand {

CountrySelector::CountrySelector(QWidget* parent)
    : QWidget(parent)
    , m_button(new QToolButton(this))
{
    m_button->setAutoRaise(true);
    m_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_button->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);

    connect(m_button, &QToolButton::clicked, this, [this] { setPopoverShown(!isPopoverShown()); });
    updateButton();
}

void CountrySelector::setCountries(const QList<Country>& countries)
{
    m_countries = countries;
}

void CountrySelector::setSelectedCountry(const std::optional<Country>& country)
{
    m_selected = country;
    updateButton();
}

void CountrySelector::setPopoverShown(bool shown)
{
    if (shown == isPopoverShown())
        return;
    if (!shown) {
        m_popover->close(); // reports through popoverClosed()
        return;
    }
    m_popover = new CountryPickerPopover(*m_button, m_countries, m_selected);
    connect(m_popover, &CountryPickerPopover::countryChosen, this, [this](const Country& country) {
        setSelectedCountry(country);
        emit countryChosen(country);
    });
    connect(m_popover, &CountryPickerPopover::closed, this, &CountrySelector::popoverClosed);
    m_popover->popUp();
    emit popoverShownChanged(true);
}

void CountrySelector::popoverClosed()
{
    if (!m_popover)
        return;
    // Closing may come from inside the popover's own handlers: it goes away once they return.
    m_popover->deleteLater();
    m_popover = nullptr;
    emit popoverShownChanged(false);
}

void CountrySelector::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateButton();
}

void CountrySelector::updateButton()
{
    if (!m_selected) {
        m_button->setText(QStringLiteral("Select Country"));
        setPlainToolTip(*m_button, QString());
        return;
    }
    m_button->setText(withFlag(*m_selected, m_selected->countryCode, m_button->font()));
    setPlainToolTip(*m_button, m_selected->countryName);
}

} // namespace Tivrand
