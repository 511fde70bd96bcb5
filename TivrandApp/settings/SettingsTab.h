#pragma once

#include <QString>

#include <array>

namespace Tivrand {

// The sections of the settings window, in sidebar order.
enum class SettingsTab {
    account,
};

inline constexpr std::array allSettingsTabs{SettingsTab::account};

// The section's name, shown in the sidebar and used as its identity.
QString rawValue(SettingsTab tab);

// The icon the sidebar shows beside the section's name.
QString symbolName(SettingsTab tab);

} // namespace Tivrand
