#include "TivrandApp/sidebar/CountryPickerPopover.h"

#include "TivrandApp/sidebar/CountryFlag.h"
#include "TivrandApp/ui/FocusIndicator.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

constexpr QSize popoverSize{300, 340};

bool matches(const Country& country, const QString& filter)
{
    return country.countryName.contains(filter, Qt::CaseInsensitive) ||
           country.countryCode.contains(filter, Qt::CaseInsensitive);
}

} // namespace

CountryPickerPopover::CountryPickerPopover(QWidget& anchor, QList<Country> countries,
                                           const std::optional<Country>& selected)
    : Popover(anchor)
    , m_countries(std::move(countries))
    , m_selected(selected)
    , m_filterField(new QLineEdit(this))
    , m_list(new QListWidget(this))
{
    setFixedSize(popoverSize);
    m_filterField->setPlaceholderText(QStringLiteral("Search"));
    m_filterField->setAccessibleName(QStringLiteral("Search countries"));
    m_filterField->setClearButtonEnabled(true);
    m_filterField->installEventFilter(this);
    m_list->setUniformItemSizes(true);
    m_list->setAccessibleName(QStringLiteral("Countries"));
    // The current row looks nearly the same with the focus as without it.
    new FocusIndicator(*m_list);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(m_filterField);
    layout->addWidget(m_list);

    connect(m_filterField, &QLineEdit::textChanged, this, &CountryPickerPopover::applyFilter);
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { choose(m_list->row(item)); });
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { choose(m_list->row(item)); });

    applyFilter(QString());
    m_filterField->setFocus();
}

void CountryPickerPopover::choose(int row)
{
    if (row < 0 || row >= m_shown.size())
        return;
    const Country chosen = m_shown.at(row);
    emit countryChosen(chosen);
    close();
}

void CountryPickerPopover::applyFilter(const QString& text)
{
    const QString filter = text.trimmed();
    m_shown.clear();
    for (const Country& country : m_countries) {
        if (filter.isEmpty() || matches(country, filter))
            m_shown.append(country);
    }

    m_list->clear();
    int current = m_shown.isEmpty() ? -1 : 0;
    for (int row = 0; row < m_shown.size(); ++row) {
        const Country& country = m_shown.at(row);
        const QString label = country.countryName + QStringLiteral(" (") + country.countryCode + QLatin1Char(')');
        m_list->addItem(withFlag(country, label, m_list->font()));
        if (m_selected && country == *m_selected)
            current = row;
    }
    if (current >= 0)
        m_list->setCurrentRow(current);
}

bool CountryPickerPopover::eventFilter(QObject* watched, QEvent* event)
{
    // The filter field keeps the focus; the arrow keys and Return work the list from there.
    if (watched == m_filterField && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (!m_shown.isEmpty()) {
                const int step = key->key() == Qt::Key_Up ? -1 : 1;
                m_list->setCurrentRow(qBound(0, m_list->currentRow() + step, static_cast<int>(m_shown.size()) - 1));
            }
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose(m_list->currentRow());
            return true;
        default:
            break;
        }
    }
    return Popover::eventFilter(watched, event);
}

} // namespace Tivrand
