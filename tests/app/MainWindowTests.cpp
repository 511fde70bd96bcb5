#include "SearchSheetTestFixture.h"

#include "TivrandApp/app/MainWindow.h"

#include <QAction>

using namespace Tivrand;

TEST(MainWindow, SettingsHaveAShortcutWhereThePlatformDefinesNone)
{
    Testing::SearchSheetEnvironment environment;
    MainWindow main(environment.store);
    QAction* settings = nullptr;
    for (QAction* action : main.findChildren<QAction*>()) {
        if (action->menuRole() == QAction::PreferencesRole)
            settings = action;
    }
    ASSERT_NE(settings, nullptr);
    const QList<QKeySequence> platform = QKeySequence::keyBindings(QKeySequence::Preferences);
    EXPECT_EQ(settings->shortcuts(), platform.isEmpty() ? QList{QKeySequence(Qt::CTRL | Qt::Key_Comma)} : platform);
}
