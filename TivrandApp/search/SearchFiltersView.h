#pragma once

#include <QWidget>

namespace Tivrand {

class BusyIndicator;
class CountrySelector;
class PlatformPickerButton;
class SearchViewModel;

// The filters beside the search field: a busy indicator while a search runs, the platform
// picker and the country selector, both bound to the view model.
class SearchFiltersView : public QWidget {
    Q_OBJECT

public:
    explicit SearchFiltersView(SearchViewModel& viewModel, QWidget* parent = nullptr);

    BusyIndicator& busyIndicator() const { return *m_busyIndicator; }
    PlatformPickerButton& platformPickerButton() const { return *m_platformPickerButton; }
    CountrySelector& countrySelector() const { return *m_countrySelector; }

private:
    void bindCountrySelector();

    SearchViewModel& m_viewModel;
    BusyIndicator* m_busyIndicator;
    PlatformPickerButton* m_platformPickerButton;
    CountrySelector* m_countrySelector;
};

} // namespace Tivrand
