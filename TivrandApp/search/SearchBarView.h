#pragma once

#include <QWidget>

namespace Tivrand {

class SearchFiltersView;
class SearchInputView;
class SearchViewModel;

// The sheet's top bar, 60 pixels high: the search field, then the filters at the trailing end.
class SearchBarView : public QWidget {
    Q_OBJECT

public:
    explicit SearchBarView(SearchViewModel& viewModel, QWidget* parent = nullptr);

    SearchInputView& input() const { return *m_input; }
    SearchFiltersView& filters() const { return *m_filters; }

private:
    SearchInputView* m_input;
    SearchFiltersView* m_filters;
};

} // namespace Tivrand
