#include "TivrandApp/search/SearchResultItemView.h"

#include "TivrandApp/search/AppActionButtonsView.h"
#include "TivrandApp/search/AppDetailsView.h"
#include "TivrandApp/search/AppRatingView.h"
#include "TivrandApp/search/Divider.h"
#include "TivrandApp/ui/AppIconView.h"
#include "TivrandApp/ui/Appearance.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

constexpr int horizontalPadding = 16;
constexpr int verticalPadding = 8;
constexpr int dividerHeight = 40;
constexpr int dividerPadding = 5;

} // namespace

SearchResultItemView::SearchResultItemView(AppPresentationItem item, bool isLastItem, QWidget* parent)
    : QWidget(parent)
    , m_item(std::move(item))
    , m_hasDivider(!isLastItem)
    , m_actions(new AppActionButtonsView(m_item.appStoreUrl, m_item.name, true, {}, this))
{
    auto* icon = new AppIconView(this);
    icon->setIconUrl(m_item.iconUrl);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(12);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addWidget(new AppDetailsView(m_item, this), 0, Qt::AlignVCenter);
    auto* separator = new Divider(Qt::Vertical, Divider::separatorColor, this);
    separator->setContentsMargins(0, dividerPadding, 0, dividerPadding);
    separator->setFixedHeight(dividerHeight + 2 * dividerPadding);
    row->addWidget(separator, 0, Qt::AlignVCenter);
    row->addWidget(new AppRatingView(m_item.rating, m_item.ratingCount, this), 0, Qt::AlignVCenter);
    row->addStretch();
    row->addWidget(m_actions, 0, Qt::AlignVCenter);
    connect(m_actions, &AppActionButtonsView::addButtonTapped, this, &SearchResultItemView::addButtonTapped);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(row);
    if (m_hasDivider)
        layout->addWidget(new Divider(Qt::Horizontal, withOpacity(SystemColor::gray, 0.3), this));
}

} // namespace Tivrand
