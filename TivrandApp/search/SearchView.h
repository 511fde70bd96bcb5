#pragma once

#include "TivrandApp/search/SearchResultView.h"

#include <QDialog>
#include <QPointer>

class QVBoxLayout;

namespace Tivrand {

class CoreDataManager;
class ElidedLabel;
class SearchBarView;
class SearchViewModel;

// The app-search sheet. It owns its own view model, made with the sheet, which checks and stores
// watched apps in `store`. A 800-pixel column, centred, holds the search bar, under it a line
// telling why the latest search failed (only when it did), and, while there are results to show,
// the result list. Adding an app accepts (closes) the sheet; Escape and Ctrl+W reject it.
class SearchView : public QDialog {
    Q_OBJECT

public:
    static constexpr int columnWidth = 800;

    explicit SearchView(CoreDataManager& store, QWidget* parent = nullptr);

    SearchViewModel& viewModel() const { return *m_viewModel; }
    SearchBarView& bar() const { return *m_bar; }
    const ElidedLabel& failureLine() const { return *m_failureLine; }
    // The result list while it is shown, else none.
    SearchResultView* resultView() const { return m_resultView; }
    // The column holding the bar and the results.
    QWidget& column() const { return *m_column; }

private:
    void followSearchError();
    void followShowResults();

    SearchViewModel* m_viewModel;
    QWidget* m_column;
    SearchBarView* m_bar;
    ElidedLabel* m_failureLine;
    QVBoxLayout* m_resultsSlot;
    QPointer<QWidget> m_resultsArea;
    QPointer<SearchResultView> m_resultView;
};

} // namespace Tivrand
