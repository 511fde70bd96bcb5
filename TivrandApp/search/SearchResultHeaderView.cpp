#include "TivrandApp/search/SearchResultHeaderView.h"

#include "TivrandApp/ui/Appearance.h"

#include <QHBoxLayout>
#include <QLabel>

namespace Tivrand {

SearchResultHeaderView::SearchResultHeaderView(QWidget* parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
{
    // The user's text is shown as typed, never read as markup.
    m_label->setTextFormat(Qt::PlainText);
    m_label->setFont(fontOfSize(15, QFont::Bold));
    setTextColor(*m_label, withOpacity(Qt::white, 0.8));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 0, 16, 0);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    layout->addStretch();
}

void SearchResultHeaderView::setSearchText(const QString& searchText)
{
    m_label->setText(QStringLiteral("Search results for \"") + searchText + QLatin1Char('"'));
}

QString SearchResultHeaderView::text() const
{
    return m_label->text();
}

} // namespace Tivrand
