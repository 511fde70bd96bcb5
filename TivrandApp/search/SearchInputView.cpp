#include "TivrandApp/search/SearchInputView.h"

#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/FocusIndicator.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace Tivrand {
namespace {

constexpr int symbolSize = 16;

} // namespace

SearchInputView::SearchInputView(SearchViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_field(new QLineEdit(this))
{
    QLabel* symbol =
        symbolLabel(QStringLiteral("magnifyingglass"), withOpacity(SystemColor::gray, 0.8), symbolSize, this);

    // A plain field: no frame and no field background, only the text.
    m_field->setFrame(false);
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_field->setPlaceholderText(placeholder);
    m_field->setAccessibleName(QStringLiteral("Search the App Store"));
    m_field->setAccessibleDescription(placeholder);
    // Without a frame the field shows its focus by the caret alone, which blinks out half the time.
    new FocusIndicator(*m_field);
    QPalette palette = m_field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_field->setPalette(palette);
    setTextColor(*m_field, Qt::white);
    m_field->setText(m_viewModel.searchText());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addWidget(m_field, 1, Qt::AlignVCenter);

    connect(m_field, &QLineEdit::textChanged, &m_viewModel, &SearchViewModel::setSearchText);
    connect(m_field, &QLineEdit::returnPressed, &m_viewModel, &SearchViewModel::performSearch);
    connect(&m_viewModel, &SearchViewModel::searchTextChanged, this, &SearchInputView::followSearchText);
}

void SearchInputView::followSearchText()
{
    const QString& text = m_viewModel.searchText();
    if (m_field->text() != text)
        m_field->setText(text);
}

} // namespace Tivrand
