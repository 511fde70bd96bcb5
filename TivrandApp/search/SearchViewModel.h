#pragma once

#include "TivrandApp/models/AppPresentationItem.h"
#include "TivrandApp/models/Country.h"
#include "TivrandApp/models/Platform.h"
#include "TivrandApp/services/SearchAPIClient.h"

#include <QList>
#include <QObject>
#include <QString>

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>

namespace Tivrand {

class CoreDataManager;

// The state and logic of the app-search sheet: loads the storefronts, searches the catalog for
// the typed text on the chosen platform and country, keeps the apps among the answers, looks up
// the records of the first 50 and publishes them as rows. Lives on the GUI thread.
//
// A subclass may change how it starts, loads the storefronts, searches and looks up the records;
// the view model's own flow calls the subclass's versions, which is why it is made by make().
class SearchViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool showPlatformPicker READ showPlatformPicker WRITE setShowPlatformPicker NOTIFY showPlatformPickerChanged)
    Q_PROPERTY(bool showCountryPicker READ showCountryPicker WRITE setShowCountryPicker NOTIFY showCountryPickerChanged)
    Q_PROPERTY(bool isSearching READ isSearching WRITE setIsSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(bool showResults READ showResults WRITE setShowResults NOTIFY showResultsChanged)
    Q_PROPERTY(QString searchError READ searchError NOTIFY searchErrorChanged)

public:
    // How many app records one search looks up.
    static constexpr int maxContentsIds = SearchAppSearchResult::keptApps;

    // A view model of type `Model`, started with its init(). With no arguments it asks the
    // catalog through a client of its own, keeps watched apps in the shared store and reads the
    // countries resource; otherwise the arguments are those of the second constructor.
    template <std::derived_from<SearchViewModel> Model = SearchViewModel, typename... Arguments>
    static std::unique_ptr<Model> make(Arguments&&... arguments)
    {
        std::unique_ptr<Model> model(new Model(std::forward<Arguments>(arguments)...));
        model->init();
        return model;
    }

    // Runs once, as the view model is made (by make()): loads the storefronts.
    virtual void init();

    CoreDataManager& coreDataManager() const { return m_coreDataManager; }

    const QString& searchText() const { return m_searchText; }
    // Emptying the text hides the results and drops the answers of the running search.
    void setSearchText(const QString& text);
    Platform selectedPlatform() const { return m_selectedPlatform; }
    void setSelectedPlatform(Platform platform);
    const std::optional<Country>& selectedCountry() const { return m_selectedCountry; }
    void setSelectedCountry(const std::optional<Country>& country);
    bool showPlatformPicker() const { return m_showPlatformPicker; }
    void setShowPlatformPicker(bool show);
    bool showCountryPicker() const { return m_showCountryPicker; }
    void setShowCountryPicker(bool show);
    const QList<Country>& countries() const { return m_countries; }
    void setCountries(const QList<Country>& countries);
    bool isSearching() const { return m_isSearching; }
    void setIsSearching(bool searching);
    bool showResults() const { return m_showResults; }
    void setShowResults(bool show);
    const QList<AppPresentationItem>& searchResults() const { return m_searchResults; }
    void setSearchResults(const QList<AppPresentationItem>& results);
    // Why the latest search failed, for the user; empty unless it did. An answer without apps
    // is no failure.
    const QString& searchError() const { return m_searchError; }

    // Reads the storefronts from the countries resource and selects "US".
    virtual void loadCountries();
    // Starts a search for the current text; answers of earlier searches are then dropped.
    virtual void performSearch();
    // Looks up the records of `ids` (app ids joined by ",") in `country`'s storefront for the
    // selected platform, as part of the latest search: its answer becomes the rows.
    virtual void fetchContents(const QString& ids, const Country& country);

signals:
    void searchTextChanged();
    void selectedPlatformChanged();
    void selectedCountryChanged();
    void showPlatformPickerChanged();
    void showCountryPickerChanged();
    void countriesChanged();
    void isSearchingChanged();
    void showResultsChanged();
    void searchResultsChanged();
    void searchErrorChanged();

protected:
    // The catalog through a client of its own, watched apps in the shared store.
    explicit SearchViewModel(QObject* parent = nullptr);
    SearchViewModel(SearchAPIClient searchClient, CoreDataManager& coreDataManager,
                    const QString& countriesResourcePath, QObject* parent = nullptr);

private:
    void handleSearchAnswer(const std::expected<SearchAppResponse, NetworkError>& answer, const Country& country,
                            std::uint64_t search);
    void handleContentsAnswer(const std::expected<AppContentsResponse, NetworkError>& answer,
                              const Country& country, Platform platform);
    void setSearchError(const QString& error);

    SearchAPIClient m_searchClient;
    CoreDataManager& m_coreDataManager;
    QString m_countriesResourcePath;

    QString m_searchText;
    Platform m_selectedPlatform = Platform::iPhone;
    std::optional<Country> m_selectedCountry;
    bool m_showPlatformPicker = false;
    bool m_showCountryPicker = false;
    QList<Country> m_countries;
    bool m_isSearching = false;
    bool m_showResults = false;
    QList<AppPresentationItem> m_searchResults;
    QString m_searchError;

    // Numbers the searches so that only the latest one's answers change the state.
    std::uint64_t m_currentSearch = 0;
};

} // namespace Tivrand
