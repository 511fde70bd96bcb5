#include "TivrandApp/search/SearchBarView.h"

#include "TivrandApp/search/SearchFiltersView.h"
#include "TivrandApp/search/SearchInputView.h"

#include <QHBoxLayout>

namespace Tivrand {
namespace {

constexpr int barHeight = 60;

} // namespace

SearchBarView::SearchBarView(SearchViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_input(new SearchInputView(viewModel, this))
    , m_filters(new SearchFiltersView(viewModel, this))
{
    setFixedHeight(barHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_input, 1);
    layout->addWidget(m_filters, 0);
}

} // namespace Tivrand
