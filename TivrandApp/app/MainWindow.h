#pragma once

#include <QMainWindow>

namespace Tivrand {

class AppListView;
class CoreDataManager;

// The main window: the watch list beside the detail pane, and the application menu.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize defaultSize{1024, 768};

    explicit MainWindow(CoreDataManager& coreDataManager, QWidget* parent = nullptr);

    AppListView& sidebar() const { return *m_sidebar; }

private:
    AppListView* m_sidebar;
};

} // namespace Tivrand
