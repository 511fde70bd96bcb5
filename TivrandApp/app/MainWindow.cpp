#include "TivrandApp/app/MainWindow.h"

#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/settings/SettingsWindow.h"
#include "TivrandApp/sidebar/AppListView.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QSplitter>

namespace Tivrand {
namespace {

// Linux platforms define no key for preferences; Ctrl+Comma is the one users know from elsewhere.
QList<QKeySequence> preferencesShortcuts()
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Preferences);
    if (keys.isEmpty())
        keys.append(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    return keys;
}

} // namespace

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
    settings->setShortcuts(preferencesShortcuts());
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, this, [this] { showSettingsWindow(this); });
    applicationMenu->addSeparator();
    QAction* quit = applicationMenu->addAction(QStringLiteral("Quit Tivrand"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);
}

} // namespace Tivrand
