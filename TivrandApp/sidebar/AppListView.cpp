#include "TivrandApp/sidebar/AppListView.h"

#include "TivrandApp/search/SearchView.h"
#include "TivrandApp/services/CoreDataManager.h"
#include "TivrandApp/sidebar/AppListItem.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace Tivrand {

AppListView::AppListView(CoreDataManager& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_list(new QListWidget(this))
    , m_addAppButton(new QPushButton(QStringLiteral("Add App"), this))
{
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_addAppButton->setIcon(symbolIcon(QStringLiteral("plus"), Qt::white, 14));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(8);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_addAppButton, 0, Qt::AlignHCenter);

    connect(m_addAppButton, &QPushButton::clicked, this, &AppListView::presentSearchSheet);
    connect(&m_store, &CoreDataManager::didSave, this, &AppListView::reload);
    reload();
}

void AppListView::reload()
{
    // A failed fetch keeps the list as it was; the store has printed why.
    auto apps = m_store.fetchWatchedApps();
    if (!apps)
        return;
    m_apps = std::move(*apps);

    m_list->clear();
    for (const WatchedApp& app : m_apps) {
        auto* item = new QListWidgetItem(m_list);
        auto* row = new AppListItem(app);
        item->setSizeHint(row->sizeHint());
        // Screen readers name the list's rows, not the widgets drawn in them.
        item->setData(Qt::AccessibleTextRole, row->accessibleName());
        m_list->setItemWidget(item, row);
    }
}

void AppListView::presentSearchSheet()
{
    if (m_searchSheet) {
        m_searchSheet->raise();
        m_searchSheet->activateWindow();
        return;
    }
    m_searchSheet = new SearchView(m_store, window());
    m_searchSheet->setAttribute(Qt::WA_DeleteOnClose);
    m_searchSheet->setWindowModality(Qt::WindowModal);
    m_searchSheet->open();
}

} // namespace Tivrand
