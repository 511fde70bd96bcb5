#include "TivrandApp/app/MainWindow.h"

#include "TivrandApp/app/QuitKey.h"
#include "TivrandApp/app/StandardKeys.h"
#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/settings/SettingsWindow.h"
#include "TivrandApp/sidebar/AppListView.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QSplitter>

namespace Tivrand {

MainWindow::MainWindow(CoreDataManager& coreDataManager, QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tivrand"));
    resize(defaultSize);
    applyMinimumWindowSize(*this);

    auto* splitter = new QSplitter(this);
    m_sidebar = new AppListView(coreDataManager, splitter);
    auto* detail = new QWidget(splitter);
    splitter->addWidget(m_sidebar);
    splitter->addWidget(detail);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({280, defaultSize.width() - 280});
    setCentralWidget(splitter);

    QMenu* applicationMenu = menuBar()->addMenu(QStringLiteral("Tivrand"));
    QAction* settings = applicationMenu->addAction(QStringLiteral("Settings…"));
    settings->setShortcuts(standardKeys(QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma)));
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, this, [this] { showSettingsWindow(this); });
    applicationMenu->addSeparator();
    QAction* quit = applicationMenu->addAction(QStringLiteral("Quit Tivrand"));
    quit->setShortcuts(quitKeys());
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);
    new QuitKey(this);
}

} // namespace Tivrand
