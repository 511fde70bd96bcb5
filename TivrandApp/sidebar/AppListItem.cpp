#include "TivrandApp/sidebar/AppListItem.h"

#include "TivrandApp/ui/AppIconView.h"
#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/ElidedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

ElidedLabel* textLine(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new ElidedLabel(text, parent);
    label->setFont(font);
    setTextColor(*label, color);
    return label;
}

} // namespace

AppListItem::AppListItem(const WatchedApp& app, QWidget* parent)
    : QWidget(parent)
{
    setAccessibleName(app.developerName.isEmpty() ? app.name : app.name + QStringLiteral(", ") + app.developerName);
    auto* icon = new AppIconView(this);
    icon->setIconUrl(app.iconUrl);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    lines->addWidget(textLine(app.name, fontOfSize(14, QFont::DemiBold), Qt::white, this));
    lines->addWidget(textLine(app.developerName, fontOfSize(12), SystemColor::gray, this));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(10);
    layout->addWidget(icon, 0, Qt::AlignVCenter);
    layout->addLayout(lines, 1);
}

} // namespace Tivrand
