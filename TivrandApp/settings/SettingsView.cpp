#include "TivrandApp/settings/SettingsView.h"

#include "TivrandApp/services/KeychainManager.h"
#include "TivrandApp/settings/SettingsAccountPane.h"
#include "TivrandApp/settings/SettingsSidebar.h"
#include "TivrandApp/settings/SettingsViewModel.h"

#include <QHBoxLayout>
#include <QStackedWidget>

namespace Tivrand {

SettingsView::SettingsView(SettingsTab selectedTab, QWidget* parent)
    : SettingsView(selectedTab, KeychainManager::shared(), parent)
{
}

SettingsView::SettingsView(SettingsTab selectedTab, KeychainManager& keychainManager, QWidget* parent)
    : QWidget(parent)
    , m_keychainManager(keychainManager)
    , m_selectedTab(selectedTab)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setFixedSize(frameSize);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_sidebar = new SettingsSidebar(selectedTab, this);
    connect(m_sidebar, &SettingsSidebar::tabSelected, this, &SettingsView::setSelectedTab);
    layout->addWidget(m_sidebar);

    // One pane per section, in the sections' order, so a section's index is its pane's.
    m_panes = new QStackedWidget(this);
    for (const SettingsTab tab : allSettingsTabs)
        m_panes->addWidget(makePane(tab));
    layout->addWidget(m_panes, 1);

    setSelectedTab(selectedTab);
}

QWidget* SettingsView::makePane(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::account:
        return new SettingsAccountPane(SettingsViewModel::appVersion());
    }
    return new QWidget;
}

void SettingsView::setSelectedTab(SettingsTab tab)
{
    const bool changed = tab != m_selectedTab;
    m_selectedTab = tab;
    m_sidebar->setSelectedTab(tab);
    m_panes->setCurrentIndex(static_cast<int>(tab));
    if (changed)
        emit selectedTabChanged(tab);
}

SettingsViewModel& SettingsView::viewModel()
{
    if (!m_viewModel)
        m_viewModel = new SettingsViewModel(m_keychainManager, this);
    return *m_viewModel;
}

QWidget& SettingsView::currentPane() const
{
    return *m_panes->currentWidget();
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    viewModel();
}

} // namespace Tivrand
