#pragma once

#include "TivrandApp/models/WatchedApp.h"
#include "TivrandApp/search/SearchView.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QListWidget;
class QPushButton;

namespace Tivrand {

class CoreDataManager;

// The sidebar: the watched apps of `store`, reloaded whenever the store saves, and an "Add App"
// button that presents the app-search sheet over the window.
class AppListView : public QWidget {
    Q_OBJECT

public:
    explicit AppListView(CoreDataManager& store, QWidget* parent = nullptr);

    // The apps as listed, in the store's order.
    const QList<WatchedApp>& watchedApps() const { return m_apps; }
    QListWidget& list() const { return *m_list; }
    QPushButton& addAppButton() const { return *m_addAppButton; }
    // The open search sheet, or none.
    SearchView* searchSheet() const { return m_searchSheet; }

public slots:
    void reload();
    // Opens the search sheet window-modally over this view's window (or raises the open one).
    void presentSearchSheet();

private:
    CoreDataManager& m_store;
    QListWidget* m_list;
    QPushButton* m_addAppButton;
    QList<WatchedApp> m_apps;
    QPointer<SearchView> m_searchSheet;
};

} // namespace Tivrand
