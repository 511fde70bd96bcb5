#include "TivrandApp/search/SearchFiltersView.h"

#include "TivrandApp/search/OutlinedFrame.h"
#include "TivrandApp/search/PlatformPickerButton.h"
#include "TivrandApp/search/SearchViewModel.h"
#include "TivrandApp/sidebar/CountrySelector.h"
#include "TivrandApp/ui/BusyIndicator.h"

#include <QHBoxLayout>

namespace Tivrand {

SearchFiltersView::SearchFiltersView(SearchViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_busyIndicator(new BusyIndicator(0.8, this))
    , m_platformPickerButton(new PlatformPickerButton(viewModel, this))
    , m_countrySelector(new CountrySelector)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 16, 0);
    layout->setSpacing(16);
    layout->addWidget(m_busyIndicator, 0, Qt::AlignVCenter);
    layout->addWidget(m_platformPickerButton, 0, Qt::AlignVCenter);
    layout->addWidget(new OutlinedFrame(m_countrySelector, this), 0, Qt::AlignVCenter);

    m_busyIndicator->setVisible(m_viewModel.isSearching());
    connect(&m_viewModel, &SearchViewModel::isSearchingChanged, this,
            [this] { m_busyIndicator->setVisible(m_viewModel.isSearching()); });
    bindCountrySelector();
}

void SearchFiltersView::bindCountrySelector()
{
    m_countrySelector->setCountries(m_viewModel.countries());
    m_countrySelector->setSelectedCountry(m_viewModel.selectedCountry());
    m_countrySelector->setPopoverShown(m_viewModel.showCountryPicker());

    connect(&m_viewModel, &SearchViewModel::countriesChanged, this,
            [this] { m_countrySelector->setCountries(m_viewModel.countries()); });
    connect(&m_viewModel, &SearchViewModel::selectedCountryChanged, this,
            [this] { m_countrySelector->setSelectedCountry(m_viewModel.selectedCountry()); });
    connect(&m_viewModel, &SearchViewModel::showCountryPickerChanged, this,
            [this] { m_countrySelector->setPopoverShown(m_viewModel.showCountryPicker()); });
    connect(m_countrySelector, &CountrySelector::countryChosen, this,
            [this](const Country& country) { m_viewModel.setSelectedCountry(country); });
    connect(m_countrySelector, &CountrySelector::popoverShownChanged, this,
            [this](bool shown) { m_viewModel.setShowCountryPicker(shown); });
}

} // namespace Tivrand
