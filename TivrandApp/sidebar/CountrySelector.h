#pragma once

#include "TivrandApp/models/Country.h"
#include "TivrandApp/sidebar/CountryPickerPopover.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class QToolButton;

namespace Tivrand {

// A button showing the selected country; it opens a searchable popover of the countries. The
// selection and the popover's open state are two-way: the owner sets them from its model and
// follows countryChosen() and popoverShownChanged(). However the popover closes (a choice,
// Escape, a click outside), popoverShownChanged(false) follows.
class CountrySelector : public QWidget {
    Q_OBJECT

public:
    explicit CountrySelector(QWidget* parent = nullptr);

    void setCountries(const QList<Country>& countries);
    const QList<Country>& countries() const { return m_countries; }

    void setSelectedCountry(const std::optional<Country>& country);
    const std::optional<Country>& selectedCountry() const { return m_selected; }

    // Opens or closes the popover.
    void setPopoverShown(bool shown);
    bool isPopoverShown() const { return m_popover != nullptr; }
    // The open popover, or none.
    CountryPickerPopover* popover() const { return m_popover; }

    QToolButton& button() const { return *m_button; }

signals:
    void countryChosen(const Tivrand::Country& country);
    void popoverShownChanged(bool shown);

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateButton();
    void popoverClosed();

    QList<Country> m_countries;
    std::optional<Country> m_selected;
    QToolButton* m_button;
    QPointer<CountryPickerPopover> m_popover;
};

} // namespace Tivrand
