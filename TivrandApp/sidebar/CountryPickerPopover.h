#pragma once

#include "TivrandApp/models/Country.h"
#include "TivrandApp/ui/Popover.h"

#include <QList>

#include <optional>

class QLineEdit;
class QListWidget;

namespace Tivrand {

// The searchable list of countries that the country selector opens. Typing filters by name or
// code; a click, or Return on the highlighted row, chooses a country and closes the popover.
class CountryPickerPopover : public Popover {
    Q_OBJECT

public:
    CountryPickerPopover(QWidget& anchor, QList<Country> countries, const std::optional<Country>& selected);

    QLineEdit& filterField() const { return *m_filterField; }
    // The countries the list shows now, in list order.
    const QList<Country>& shownCountries() const { return m_shown; }
    // Chooses the shown country at `row`, as a click on it does.
    void choose(int row);

signals:
    void countryChosen(const Tivrand::Country& country);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const QString& text);

    QList<Country> m_countries;
    std::optional<Country> m_selected;
    QList<Country> m_shown;
    QLineEdit* m_filterField;
    QListWidget* m_list;
};

} // namespace Tivrand
