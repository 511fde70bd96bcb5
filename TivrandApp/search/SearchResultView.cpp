#include "TivrandApp/search/SearchResultView.h"

#include "TivrandApp/search/SearchResultHeaderView.h"
#include "TivrandApp/search/SearchResultItemView.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/services/CoreDataManager.h"

#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace Tivrand {

SearchResultView::SearchResultView(SearchViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_header(new SearchResultHeaderView(this))
    , m_rowsContainer(new QWidget)
    , m_rowsLayout(new QVBoxLayout(m_rowsContainer))
{
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);

    auto* scrollArea = new QScrollArea(this);
    scrollArea->setFrameShape(QFrame::NoFrame);
    // Not a stop of the Tab key, where it would show no focus: the rows' buttons are, and the
    // list scrolls to the one that has it.
    scrollArea->setFocusPolicy(Qt::NoFocus);
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setWidget(m_rowsContainer);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(m_header);
    layout->addWidget(scrollArea, 1);

    m_header->setSearchText(m_viewModel.searchText());
    connect(&m_viewModel, &SearchViewModel::searchTextChanged, this,
            [this] { m_header->setSearchText(m_viewModel.searchText()); });
    connect(&m_viewModel, &SearchViewModel::searchResultsChanged, this, &SearchResultView::rebuildRows);
    rebuildRows();
}

QList<SearchResultItemView*> SearchResultView::rows() const
{
    return m_rowsContainer->findChildren<SearchResultItemView*>(Qt::FindDirectChildrenOnly);
}

void SearchResultView::rebuildRows()
{
    for (SearchResultItemView* row : rows())
        delete row;
    while (QLayoutItem* left = m_rowsLayout->takeAt(0))
        delete left;

    const QList<AppPresentationItem>& results = m_viewModel.searchResults();
    for (const AppPresentationItem& item : results) {
        auto* row = new SearchResultItemView(item, item.id == results.constLast().id, m_rowsContainer);
        connect(row, &SearchResultItemView::addButtonTapped, this, [this, item] { addApp(item); });
        m_rowsLayout->addWidget(row);
    }
    m_rowsLayout->addStretch();
}

void SearchResultView::addApp(const AppPresentationItem& item)
{
    CoreDataManager& store = m_viewModel.coreDataManager();
    if (store.isAppWatched(item.appId, item.platform)) {
        showAlert(alreadyAddedMessage);
        return;
    }
    // A save that did not happen must not look like an added app: the sheet stays open.
    if (!store.saveWatchedApp(item)) {
        showAlert(saveFailedMessage);
        return;
    }
    m_viewModel.setShowResults(false);
    emit appAdded();
}

void SearchResultView::showAlert(const QString& message)
{
    if (!m_alert) {
        // The title is also the alert's first line: window titles are not shown everywhere.
        const QString title = QStringLiteral("Warning");
        m_alert = new TitledMessageBox(QMessageBox::Warning, title, title, this);
        m_alert->setDefaultButton(m_alert->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
    }
    m_alert->setInformativeText(message);
    m_alert->open();
}

} // namespace Tivrand
