#include "TivrandApp/settings/SettingsSidebar.h"

#include "TivrandApp/settings/SettingsSidebarRow.h"
#include "TivrandApp/ui/Appearance.h"

#include <QPainter>
#include <QVBoxLayout>

namespace Tivrand {

SettingsSidebar::SettingsSidebar(SettingsTab selectedTab, QWidget* parent)
    : QWidget(parent)
    , m_selectedTab(selectedTab)
{
    setFixedWidth(sidebarWidth);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(2);
    for (const SettingsTab tab : allSettingsTabs) {
        auto* row = new SettingsSidebarRow(tab, this);
        row->setChecked(tab == selectedTab);
        connect(row, &QAbstractButton::clicked, this, [this, tab] {
            setSelectedTab(tab);
            emit tabSelected(tab);
        });
        layout->addWidget(row);
        m_rows.append(row);
    }
    layout->addStretch(1);
}

void SettingsSidebar::setSelectedTab(SettingsTab tab)
{
    m_selectedTab = tab;
    // The rows are exclusive: checking one unchecks the others.
    for (SettingsSidebarRow* row : m_rows) {
        if (row->tab() == tab)
            row->setChecked(true);
    }
}

void SettingsSidebar::paintEvent(QPaintEvent*)
{
    // A hairline on the trailing edge sets the sidebar apart from the pane beside it.
    QPainter painter(this);
    const int edge = layoutDirection() == Qt::LeftToRight ? width() - 1 : 0;
    painter.fillRect(QRect(edge, 0, 1, height()),
                     withOpacity(palette().color(QPalette::WindowText), separatorOpacity));
}

} // namespace Tivrand
