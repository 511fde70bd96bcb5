#include "TivrandApp/search/AppDetailsView.h"

#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/ElidedLabel.h"

#include <QVBoxLayout>

namespace Tivrand {
namespace {

constexpr int lineWidth = 250;
constexpr int trailingPadding = 8;

} // namespace

AppDetailsView::AppDetailsView(const AppPresentationItem& item, QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(lineWidth + trailingPadding);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, trailingPadding, 0);
    layout->setSpacing(2);

    addLine(item.name, fontOfSize(16), Qt::white);
    if (item.subtitle)
        addLine(*item.subtitle, fontOfSize(12), SystemColor::gray);
    addLine(item.developerName, fontOfSize(11), SystemColor::gray);
}

void AppDetailsView::addLine(const QString& text, const QFont& font, const QColor& color)
{
    // One line each: a text too long for the column ends in "…" and shows whole as a tool tip.
    auto* label = new ElidedLabel(text, this);
    label->setFont(font);
    label->setFixedWidth(lineWidth);
    setTextColor(*label, color);
    layout()->addWidget(label);
}

QStringList AppDetailsView::lines() const
{
    QStringList shown;
    for (const ElidedLabel* label : findChildren<ElidedLabel*>(Qt::FindDirectChildrenOnly))
        shown.append(label->shownText());
    return shown;
}

} // namespace Tivrand
