#include "TivrandApp/settings/SettingsTab.h"

namespace Tivrand {

QString rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::account:
        return QStringLiteral("Account");
    }
    return {};
}

QString symbolName(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::account:
        return QStringLiteral("person.circle.fill");
    }
    return {};
}

} // namespace Tivrand
