#pragma once

#include "TivrandApp/settings/SettingsTab.h"

#include <QAbstractButton>

namespace Tivrand {

// One section in the settings sidebar: its icon and name, drawn in the accent colour and at full
// strength while the section is the selected one (the row is checked).
class SettingsSidebarRow : public QAbstractButton {
    Q_OBJECT

public:
    explicit SettingsSidebarRow(SettingsTab tab, QWidget* parent = nullptr);

    SettingsTab tab() const { return m_tab; }

    // The colours the row draws with in its current state.
    QColor iconColour() const;
    QColor textColour() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont labelFont() const;

    SettingsTab m_tab;
};

} // namespace Tivrand
