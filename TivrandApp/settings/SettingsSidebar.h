#pragma once

#include "TivrandApp/settings/SettingsTab.h"

#include <QList>
#include <QWidget>

namespace Tivrand {

class SettingsSidebarRow;

// The settings sections as a fixed-width list, one row per section in order, exactly one selected.
class SettingsSidebar : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarWidth = 180;

    explicit SettingsSidebar(SettingsTab selectedTab, QWidget* parent = nullptr);

    SettingsTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(SettingsTab tab);

    const QList<SettingsSidebarRow*>& rows() const { return m_rows; }

protected:
    void paintEvent(QPaintEvent* event) override;

signals:
    // The user chose a section.
    void tabSelected(SettingsTab tab);

private:
    SettingsTab m_selectedTab;
    QList<SettingsSidebarRow*> m_rows;
};

} // namespace Tivrand
