#pragma once

#include "TivrandApp/settings/SettingsTab.h"

#include <QWidget>

class QStackedWidget;

namespace Tivrand {

class KeychainManager;
class SettingsSidebar;
class SettingsViewModel;

// The settings window's content: the sections' sidebar beside the selected section's pane.
// Its view model, and with it the Keychain reads, is made once, when the view is first shown.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    using SettingsTab = Tivrand::SettingsTab;

    // The content's size, whatever the window's: a larger window centres it.
    static constexpr QSize frameSize{650, 480};

    explicit SettingsView(SettingsTab selectedTab, QWidget* parent = nullptr);
    SettingsView(SettingsTab selectedTab, KeychainManager& keychainManager, QWidget* parent = nullptr);

    SettingsTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(SettingsTab tab);

    // Made on the first call and kept for the life of the view.
    SettingsViewModel& viewModel();
    bool hasViewModel() const { return m_viewModel != nullptr; }

    SettingsSidebar& sidebar() const { return *m_sidebar; }
    // The pane shown beside the sidebar for the selected section.
    QWidget& currentPane() const;

signals:
    void selectedTabChanged(SettingsTab tab);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makePane(SettingsTab tab);

    KeychainManager& m_keychainManager;
    SettingsTab m_selectedTab;
    SettingsViewModel* m_viewModel = nullptr;
    SettingsSidebar* m_sidebar = nullptr;
    QStackedWidget* m_panes = nullptr;
};

} // namespace Tivrand
