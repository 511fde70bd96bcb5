#include "TivrandApp/search/SearchView.h"

#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/models/Country.h"
#include "TivrandApp/search/Divider.h"
#include "TivrandApp/search/SearchBarView.h"
#include "TivrandApp/search/SearchInputView.h"
#include "TivrandApp/search/SearchResultView.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/ElidedLabel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QShortcut>
#include <QVBoxLayout>

namespace Tivrand {
namespace {

constexpr int verticalPadding = 20;
constexpr int resultsTopPadding = 8;
constexpr int failureLinePadding = 16;

} // namespace

SearchView::SearchView(CoreDataManager& store, QWidget* parent)
    : QDialog(parent)
    , m_viewModel(
          SearchViewModel::make(SearchAPIClient(), store, QString::fromLatin1(countriesResourcePath), this).release())
    , m_column(new QWidget(this))
    , m_bar(new SearchBarView(*m_viewModel, m_column))
    , m_failureLine(new ElidedLabel(QString(), m_column))
    , m_resultsSlot(new QVBoxLayout)
{
    // Named after the button that opens it, for window lists and screen readers.
    setWindowTitle(QStringLiteral("Add App"));
    applyMinimumWindowSize(*this);
    resize(minimumWindowSize);
    // As other windows of the program close; Escape rejects the sheet already.
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this, this, &QDialog::reject);

    // The column fills the sheet's height, so the bar keeps its place at the top with or without results.
    m_column->setFixedWidth(columnWidth);
    m_column->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_resultsSlot->setContentsMargins(0, 0, 0, 0);
    m_resultsSlot->setSpacing(0);
    auto* columnLayout = new QVBoxLayout(m_column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(0);
    columnLayout->addWidget(m_bar);
    columnLayout->addWidget(m_failureLine);
    columnLayout->addLayout(m_resultsSlot, 1);
    columnLayout->addStretch();

    // Flexible space on both sides keeps the column centred in a wider sheet.
    auto* centring = new QHBoxLayout;
    centring->setSpacing(0);
    centring->addStretch();
    centring->addWidget(m_column);
    centring->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, verticalPadding, 0, verticalPadding);
    layout->addLayout(centring);

    m_failureLine->setContentsMargins(failureLinePadding, 0, failureLinePadding, 0);
    m_failureLine->setFont(fontOfSize(13));
    setTextColor(*m_failureLine, SystemColor::red);
    connect(m_viewModel, &SearchViewModel::searchErrorChanged, this, &SearchView::followSearchError);
    followSearchError();

    connect(m_viewModel, &SearchViewModel::showResultsChanged, this, &SearchView::followShowResults);
    followShowResults();
    m_bar->input().field().setFocus();
}

void SearchView::followSearchError()
{
    const QString& error = m_viewModel->searchError();
    m_failureLine->setText(error.isEmpty() ? QString() : QStringLiteral("Search failed: ") + error);
    m_failureLine->setVisible(!error.isEmpty());
}

void SearchView::followShowResults()
{
    const bool shown = m_viewModel->showResults();
    if (shown == (m_resultView != nullptr))
        return;
    if (!shown) {
        // Hiding may be asked from inside the result list's own handlers: it goes once they return.
        m_resultsArea->hide();
        m_resultsArea->deleteLater();
        m_resultsArea = nullptr;
        m_resultView = nullptr;
        return;
    }

    m_resultsArea = new QWidget(m_column);
    m_resultView = new SearchResultView(*m_viewModel, m_resultsArea);
    auto* area = new QVBoxLayout(m_resultsArea);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(resultsTopPadding);
    area->addWidget(new Divider(Qt::Horizontal, Divider::separatorColor, m_resultsArea));
    area->addWidget(m_resultView, 1);
    m_resultsSlot->addWidget(m_resultsArea);
    connect(m_resultView, &SearchResultView::appAdded, this, &SearchView::accept);
}

} // namespace Tivrand
