#include "SearchSheetTestFixture.h"

#include "TivrandApp/search/SearchViewModel.h"

#include "tests/support/CapturedOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QUrlQuery>

#include <functional>
#include <memory>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::CapturedOutput;
using Testing::FakeCatalogServer;

namespace {

const QString searchSucceededLine = QStringLiteral("✅ Arama Başarılı: ");

// A country list in the resource's shape, one entry per code.
QByteArray countriesJson(const QStringList& codes)
{
    QJsonArray countries;
    for (const QString& code : codes) {
        const QJsonObject language{{"code", "en-" + code}, {"name", "English"}};
        countries.append(QJsonObject{{"country_code", code}, {"country_name", code}, {"country_flag", ""},
                                     {"first_language", language}, {"second_languages", QJsonArray{}}});
    }
    return QJsonDocument(countries).toJson();
}

// A search answer of `count` items, the first `apps` of type "apps", numbered from 1.
std::string searchAnswer(int count, int apps, bool firstAppWithoutId = false)
{
    QJsonArray data;
    for (int index = 1; index <= count; ++index) {
        QJsonObject item{{"type", index <= apps ? "apps" : "editorial-items"}};
        if (!(firstAppWithoutId && index == 1))
            item["id"] = QString::number(index);
        data.append(item);
    }
    const QJsonObject answer{{"results", QJsonObject{{"search-result", QJsonObject{{"data", data}}}}}};
    return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
}

QString asked(const Testing::RecordedRequest& request, const QString& key)
{
    return QUrlQuery(QUrl(QString::fromStdString(request.target))).queryItemValue(key, QUrl::FullyDecoded);
}

QStringList printedLines(const CapturedOutput& output, const QString& prefix)
{
    QStringList lines = output.text().split(QLatin1Char('\n'));
    lines.removeIf([&](const QString& line) { return !line.startsWith(prefix); });
    return lines;
}

// Goes its own way to the storefronts and notes the records it is asked to look up.
class OwnStorefronts : public SearchViewModel {
public:
    explicit OwnStorefronts(CoreDataManager& store) : SearchViewModel(SearchAPIClient(), store, QString()) {}

    QStringList calls;

    void loadCountries() override
    {
        const Country germany{"de", "DE", "Germany", "", {"de-DE", "German"}, {}};
        setCountries({germany});
        setSelectedCountry(germany);
    }
    void fetchContents(const QString& ids, const Country& country) override
    {
        calls.append(country.countryCode + ":" + ids.section(',', 0, 0));
        SearchViewModel::fetchContents(ids, country);
    }
};

class SearchViewModelTest : public ::testing::Test, public Testing::SearchSheetEnvironment {
protected:
    std::unique_ptr<SearchViewModel> makeViewModel(const QString& resource = QString::fromLatin1(countriesResourcePath))
    {
        return SearchViewModel::make(SearchAPIClient(), store, resource);
    }

    std::unique_ptr<SearchViewModel> makeViewModelWithCountries(const QByteArray& json)
    {
        QTemporaryFile file;
        EXPECT_TRUE(file.open());
        file.write(json);
        file.flush();
        return makeViewModel(file.fileName());
    }

    std::size_t contentsRequests() const { return catalog.requests(FakeCatalogServer::Route::contents).size(); }

    bool finishes(const SearchViewModel& model)
    {
        return Testing::waitUntil([&] { return !model.isSearching(); }, 10s);
    }

    // A search for "notes" whose requests the catalog holds back until released.
    std::unique_ptr<SearchViewModel> startHeldSearch()
    {
        auto model = makeViewModel();
        model->setSearchText("notes");
        catalog.server().holdResponses();
        const std::size_t searches = catalog.requests(FakeCatalogServer::Route::search).size();
        model->performSearch();
        EXPECT_TRUE(Testing::waitUntil(
            [&] { return catalog.requests(FakeCatalogServer::Route::search).size() == searches + 1; }));
        return model;
    }
};

} // namespace

TEST_F(SearchViewModelTest, CountriesLoadWithTheFirstUnitedStatesSelectedOrNoneIfBroken)
{
    EXPECT_EQ(makeViewModel()->selectedCountry().value_or(Country{}).countryCode, "US");
    const auto third = makeViewModelWithCountries(countriesJson({"DE", "FR", "US", "US"}));
    EXPECT_EQ(third->selectedCountry().value_or(Country{}).id, third->countries().at(2).id);
    EXPECT_FALSE(makeViewModelWithCountries(countriesJson({"de", "us"}))->selectedCountry().has_value());

    const CapturedOutput output;
    EXPECT_TRUE(makeViewModel("/nonexistent/Countries.json")->countries().isEmpty());
    EXPECT_EQ(output.text(), "") << "a missing resource is passed over silently";
    EXPECT_TRUE(makeViewModelWithCountries(QByteArray(R"([{"country_code": 7}])"))->countries().isEmpty());
    EXPECT_EQ(printedLines(output, "Error loading countries: ").size(), 1);
}

TEST_F(SearchViewModelTest, ASubclassesOperationsAreTheOnesItsOwnFlowCalls)
{
    const auto model = SearchViewModel::make<OwnStorefronts>(store);
    ASSERT_EQ(model->selectedCountry().value_or(Country{}).countryCode, "DE");
    model->setSearchText("notes");
    model->performSearch();
    ASSERT_TRUE(finishes(*model));
    EXPECT_EQ(model->calls, QStringList{"DE:1000000001"});
    EXPECT_TRUE(model->showResults());
}

TEST_F(SearchViewModelTest, AtMostFiftyAppItemsAreLookedUpCountingThoseWithoutId)
{
    const auto model = makeViewModel();
    model->setSearchText("many");
    // The first app has no id, yet counts: 2 to 50 are asked for.
    QStringList expected;
    for (int id = 2; id <= 50; ++id)
        expected.append(QString::number(id));
    catalog.setAnswer(FakeCatalogServer::Route::search, 200, searchAnswer(120, 60, true));
    model->performSearch();
    ASSERT_TRUE(finishes(*model));
    const QStringList ids = asked(catalog.requests(FakeCatalogServer::Route::contents).back(), "ids").split(',');
    EXPECT_EQ(ids, expected) << "joined by a bare comma";
}

TEST_F(SearchViewModelTest, OnlyTheAskedRecordsBecomeRowsHoweverManyTheAnswerHolds)
{
    catalog.answerApps(3, 5000);
    const auto model = makeViewModel();
    model->setSearchText("apps");
    model->performSearch();
    ASSERT_TRUE(finishes(*model));
    QStringList names;
    for (const AppPresentationItem& item : model->searchResults())
        names.append(item.name);
    EXPECT_EQ(names, (QStringList{"App 1", "App 2", "App 3"}));
}

TEST_F(SearchViewModelTest, SearchShowsTheCompleteAppRecordsInAnswerOrderAndEachAnswerPrintsItsLine)
{
    const auto model = makeViewModel();
    // The text goes out untrimmed.
    model->setSearchText(" ");
    const CapturedOutput output;
    model->performSearch();
    ASSERT_TRUE(finishes(*model));
    EXPECT_NE(catalog.requests(FakeCatalogServer::Route::search).front().target.find("term=%20&"), std::string::npos);
    EXPECT_TRUE(output.contains(searchSucceededLine + "SearchAppResponse(results: "));

    QStringList ids;
    for (const AppPresentationItem& item : model->searchResults())
        ids.append(item.appId);
    // 4 has no name, 5 no URL, 10 no record.
    EXPECT_EQ(ids, (QStringList{"1000000001", "1000000002", "1000000003", "1000000006", "1000000007", "1000000009"}));

    // Failures and answers without complete records end idle with nothing shown.
    const struct {
        FakeCatalogServer::Route route;
        int status;
        std::string body;
        QString line; // printed, if any
    } failures[] = {
        {FakeCatalogServer::Route::contents, 503, "{}", "❌ Contents Hatası: The server answered with HTTP status 503."},
        {FakeCatalogServer::Route::contents, 200, R"({"data": [{"id": "1", "type": "apps"}]})", {}},
        {FakeCatalogServer::Route::search, 200, searchAnswer(5, 0), {}},
        {FakeCatalogServer::Route::search, 500, "{}", "❌ Arama Hatası: The server answered with HTTP status 500."},
    };
    for (const auto& each : failures) {
        SCOPED_TRACE(each.body);
        catalog.setAnswer(each.route, each.status, each.body);
        model->performSearch();
        ASSERT_TRUE(finishes(*model));
        EXPECT_FALSE(model->showResults());
        if (!each.line.isEmpty()) {
            EXPECT_EQ(printedLines(output, each.line.section(':', 0, 0)), QStringList{each.line});
        }
    }
    EXPECT_EQ(contentsRequests(), 3u) << "none without app items";
}

TEST_F(SearchViewModelTest, RowsCarryThePlatformTheRecordsWereAskedFor)
{
    // Changed while the search runs: the records are asked for, and shown as, the new platform.
    const auto model = startHeldSearch();
    model->setSelectedPlatform(Platform::Mac);
    catalog.server().releaseResponses();
    ASSERT_TRUE(finishes(*model));
    EXPECT_EQ(asked(catalog.requests(FakeCatalogServer::Route::contents).back(), "platform"), "mac");
    EXPECT_EQ(model->searchResults().value(0).platform, Platform::Mac);

    // Changed once the records were asked for: the rows keep the platform of the request.
    catalog.server().holdResponses("/contents");
    model->performSearch();
    ASSERT_TRUE(Testing::waitUntil([&] { return contentsRequests() == 2; }));
    model->setSelectedPlatform(Platform::iPad);
    catalog.server().releaseResponses();
    ASSERT_TRUE(finishes(*model));
    EXPECT_EQ(model->searchResults().value(0).platform, Platform::Mac);
}

TEST_F(SearchViewModelTest, AnswersOfAnInterruptedSearchAreDropped)
{
    using Interruption = std::function<void(std::unique_ptr<SearchViewModel>&)>;
    const std::pair<const char*, Interruption> interruptions[] = {
        {"a later search that ends at once (no storefront)",
         [](auto& model) {
             model->setSelectedCountry(std::nullopt);
             model->performSearch();
         }},
        {"the text cleared", [](auto& model) { model->setSearchText(""); }},
        {"the sheet closed", [](auto& model) { model.reset(); }},
    };
    for (const auto& [name, interrupt] : interruptions) {
        SCOPED_TRACE(name);
        const CapturedOutput output;
        auto model = startHeldSearch();
        const std::size_t contentsBefore = contentsRequests();
        interrupt(model);
        catalog.server().releaseResponses();
        // The superseded answer is still printed.
        ASSERT_TRUE(Testing::waitUntil([&] { return output.contains(searchSucceededLine); }, 10s));
        EXPECT_TRUE(!model || (!model->isSearching() && !model->showResults()));

        // A complete search afterwards is the only one whose records are asked for.
        const auto next = makeViewModel();
        next->setSearchText("notes");
        next->performSearch();
        ASSERT_TRUE(finishes(*next));
        EXPECT_EQ(contentsRequests(), contentsBefore + 1);
    }
}
