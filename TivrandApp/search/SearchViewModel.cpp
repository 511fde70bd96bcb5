#include "TivrandApp/search/SearchViewModel.h"

#include "TivrandApp/services/CoreDataManager.h"
#include "TivrandApp/services/Diagnostics.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QStringList>

namespace Tivrand {

namespace {

// Answers are handled in a block of their own on the GUI thread, after the completion returns.
template <typename Block>
void onMainLater(Block block)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(block), Qt::QueuedConnection);
}

// The ids of the first `limit` app items of a search answer, in answer order.
QStringList appIds(const SearchAppResponse& answer, int limit)
{
    QStringList ids;
    if (!answer.results || !answer.results->searchResult || !answer.results->searchResult->data)
        return ids;
    int apps = 0;
    for (const SearchAppSearchResultDatum& datum : *answer.results->searchResult->data) {
        if (apps == limit)
            break;
        if (datum.type != QStringLiteral("apps"))
            continue;
        ++apps;
        if (datum.id)
            ids.append(*datum.id);
    }
    return ids;
}

} // namespace

SearchViewModel::SearchViewModel(QObject* parent)
    : SearchViewModel(SearchAPIClient(), CoreDataManager::shared(), QString::fromLatin1(countriesResourcePath), parent)
{
}

SearchViewModel::SearchViewModel(SearchAPIClient searchClient, CoreDataManager& coreDataManager,
                                 const QString& countriesResourcePath, QObject* parent)
    : QObject(parent)
    , m_searchClient(searchClient)
    , m_coreDataManager(coreDataManager)
    , m_countriesResourcePath(countriesResourcePath)
{
}

void SearchViewModel::init()
{
    loadCountries();
}

void SearchViewModel::loadCountries()
{
    QFile file(m_countriesResourcePath);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("Error loading countries: ") + file.errorString());
        return;
    }
    const auto countries = decodeCountries(file.readAll());
    if (!countries) {
        printLine(QStringLiteral("Error loading countries: ") + countries.error());
        return;
    }
    setCountries(*countries);

    std::optional<Country> unitedStates;
    for (const Country& country : m_countries) {
        if (country.countryCode == QStringLiteral("US")) {
            unitedStates = country;
            break;
        }
    }
    setSelectedCountry(unitedStates);
}

void SearchViewModel::performSearch()
{
    if (m_searchText.isEmpty()) {
        setShowResults(false);
        return;
    }

    const std::uint64_t search = ++m_currentSearch;
    setIsSearching(true);
    setShowResults(false);
    setSearchResults({});
    setSearchError({});

    if (!m_selectedCountry) {
        setIsSearching(false);
        return;
    }

    const Country country = *m_selectedCountry;
    QPointer<SearchViewModel> self(this);
    m_searchClient.searchApp(rawValue(m_selectedPlatform), m_searchText, country, country.firstLanguage.code,
                             [self, country, search](std::expected<SearchAppResponse, NetworkError> answer) {
                                 onMainLater([self, country, search, answer = std::move(answer)] {
                                     if (!answer)
                                         printLine(QStringLiteral("❌ Arama Hatası: ") +
                                                   answer.error().localizedDescription());
                                     else
                                         printLine(QStringLiteral("✅ Arama Başarılı: ") + answer->summary());
                                     if (self)
                                         self->handleSearchAnswer(answer, country, search);
                                 });
                             });
}

void SearchViewModel::handleSearchAnswer(const std::expected<SearchAppResponse, NetworkError>& answer,
                                         const Country& country, std::uint64_t search)
{
    if (search != m_currentSearch)
        return;

    const QStringList ids = answer ? appIds(*answer, maxContentsIds) : QStringList();
    if (ids.isEmpty()) {
        setIsSearching(false);
        setShowResults(false);
        if (!answer)
            setSearchError(answer.error().localizedDescription());
        return;
    }
    fetchContents(ids.join(QLatin1Char(',')), country);
}

void SearchViewModel::fetchContents(const QString& ids, const Country& country)
{
    // The platform is read here: one changed while the search ran applies to the records, and the
    // rows carry the platform the records were asked for.
    const Platform platform = m_selectedPlatform;
    const std::uint64_t search = m_currentSearch;
    QPointer<SearchViewModel> self(this);
    m_searchClient.getContents(rawValue(platform), ids, country, country.firstLanguage.code,
                               [self, country, platform, search](std::expected<AppContentsResponse, NetworkError> answer) {
                                   onMainLater([self, country, platform, search, answer = std::move(answer)] {
                                       if (self && search == self->m_currentSearch)
                                           self->handleContentsAnswer(answer, country, platform);
                                   });
                               });
}

void SearchViewModel::handleContentsAnswer(const std::expected<AppContentsResponse, NetworkError>& answer,
                                           const Country& country, Platform platform)
{
    setIsSearching(false);
    if (!answer) {
        printLine(QStringLiteral("❌ Contents Hatası: ") + answer.error().localizedDescription());
        setShowResults(false);
        setSearchError(answer.error().localizedDescription());
        return;
    }

    QList<AppPresentationItem> items;
    if (answer->data) {
        for (const SearchAppSearchResultDatum& datum : *answer->data) {
            if (auto item = AppPresentationItem::make(datum, platform, country))
                items.append(std::move(*item));
        }
    }
    if (items.isEmpty()) {
        setShowResults(false);
        return;
    }
    setSearchResults(items);
    setShowResults(true);
}

void SearchViewModel::setSearchText(const QString& text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    emit searchTextChanged();
    if (text.isEmpty()) {
        // An emptied field ends the running search, so its late answer cannot show rows under it.
        ++m_currentSearch;
        setIsSearching(false);
        setShowResults(false);
        setSearchError({});
    }
}

void SearchViewModel::setSelectedPlatform(Platform platform)
{
    if (m_selectedPlatform == platform)
        return;
    m_selectedPlatform = platform;
    emit selectedPlatformChanged();
}

void SearchViewModel::setSelectedCountry(const std::optional<Country>& country)
{
    // Countries compare by code; a different record of the same code is still a change of value.
    const bool same = m_selectedCountry.has_value() == country.has_value() &&
                      (!country || m_selectedCountry->id == country->id);
    if (same)
        return;
    m_selectedCountry = country;
    emit selectedCountryChanged();
}

void SearchViewModel::setShowPlatformPicker(bool show)
{
    if (m_showPlatformPicker == show)
        return;
    m_showPlatformPicker = show;
    emit showPlatformPickerChanged();
}

void SearchViewModel::setShowCountryPicker(bool show)
{
    if (m_showCountryPicker == show)
        return;
    m_showCountryPicker = show;
    emit showCountryPickerChanged();
}

void SearchViewModel::setShowResults(bool show)
{
    if (m_showResults == show)
        return;
    m_showResults = show;
    emit showResultsChanged();
}

void SearchViewModel::setIsSearching(bool searching)
{
    if (m_isSearching == searching)
        return;
    m_isSearching = searching;
    emit isSearchingChanged();
}

void SearchViewModel::setCountries(const QList<Country>& countries)
{
    m_countries = countries;
    emit countriesChanged();
}

void SearchViewModel::setSearchResults(const QList<AppPresentationItem>& results)
{
    m_searchResults = results;
    emit searchResultsChanged();
}

void SearchViewModel::setSearchError(const QString& error)
{
    if (m_searchError == error)
        return;
    m_searchError = error;
    emit searchErrorChanged();
}

} // namespace Tivrand
