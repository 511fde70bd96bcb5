#include "TivrandApp/models/AppContentsResponse.h"
#include "TivrandApp/models/AppPresentationItem.h"
#include "TivrandApp/models/JsonReader.h"
#include "TivrandApp/models/RecordDescription.h"
#include "TivrandApp/models/SearchAppResponse.h"
#include "TivrandApp/services/SearchAPIClient.h"
#include "TivrandApp/services/SearchAPIRouter.h"

#include "tests/support/EventLoop.h"
#include "tests/support/FakeCatalogServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <optional>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::FakeCatalogServer;
using Testing::ScopedEnvironmentVariable;

namespace {

const Country unitedStates{"id", "US", "United States", "", {"en-US", "English (U.S.)"}, {}};

// The record read from `text`, which must be valid JSON.
template<typename T, typename... Arguments>
std::optional<T> decoded(const char* text, const Arguments&... arguments)
{
    JsonReader reader{QByteArrayView(text)};
    std::optional<T> record = T::read(reader, arguments...);
    EXPECT_TRUE(reader.finish()) << reader.errorString().toStdString();
    return record;
}

std::optional<AppPresentationItem> itemFrom(const char* text, Platform platform = Platform::iPhone)
{
    const auto datum = decoded<SearchAppSearchResultDatum>(text);
    return AppPresentationItem::make(*datum, platform, unitedStates);
}

const char* const twoFamilies = R"({"id": "42", "type": "apps", "attributes": {
    "name": "Harbor", "artistName": "Quay", "url": "https://apps.apple.com/us/app/id42",
    "userRating": {"value": 4.25, "ratingCount": 880},
    "platformAttributes": {
        "ios": {"subtitle": "Phone", "artwork": {"url": "https://x/ios/{w}x{h}{c}.{f}"}},
        "osx": {"subtitle": "Desk", "artwork": {"url": "https://x/osx/{w}x{h}{c}.{f}"}}
    }}})";

class SearchAPIClientTest : public ::testing::Test {
protected:
    FakeCatalogServer catalog;
    ScopedEnvironmentVariable url{"TIVRAND_CATALOG_URL", catalog.baseUrl().toString().toUtf8()};
    ScopedEnvironmentVariable token{"TIVRAND_CATALOG_TOKEN", "test-token"};
    SearchAPIClient client;

    // Runs one call and waits for its completion.
    template<typename T, typename Call>
    std::expected<T, NetworkError> complete(Call call)
    {
        std::optional<std::expected<T, NetworkError>> outcome;
        call([&](std::expected<T, NetworkError> result) { outcome = std::move(result); });
        EXPECT_TRUE(Testing::waitUntil([&] { return outcome.has_value(); }, 15s));
        return outcome.value_or(std::unexpected(NetworkError{}));
    }

    std::expected<SearchAppResponse, NetworkError> search(const QString& term)
    {
        return complete<SearchAppResponse>([&](auto completion) {
            client.searchApp("iphone", term, unitedStates, "en-US", completion);
        });
    }
};

} // namespace

TEST_F(SearchAPIClientTest, SearchSendsPathQueryAndFixedHeadersButNeverTheServersCookies)
{
    catalog.setCookie("session=server-made; Path=/");
    ASSERT_TRUE(search("notes").has_value());
    ASSERT_TRUE(search("c++ & c# = 100% fun é").has_value());
    const Testing::RecordedRequest request = catalog.requests(FakeCatalogServer::Route::search).back();
    EXPECT_EQ(request.target,
              "/v1/catalog/US/search?platform=iphone&term=c%2B%2B%20%26%20c%23%20%3D%20100%25%20fun%20%C3%A9&l=en-US");
    EXPECT_EQ(request.headers.count("Host"), 1u);
    EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(catalog.server().port()));
    EXPECT_EQ(request.header("user-agent"), "Tivrand");
    EXPECT_EQ(request.header("authorization"), "Bearer test-token");
    EXPECT_EQ(request.headers.count("Cookie"), 1u);
    EXPECT_EQ(request.header("Cookie"), "dslang=US-EN") << "the cookie the server set is not sent back";
    EXPECT_EQ(request.header("Content-Length"), "") << "a GET carries no body";
}

TEST_F(SearchAPIClientTest, RedirectsAreFollowedWithinTheOriginOnlyAndNotForever)
{
    const std::string path = "/v1/catalog/US/search";
    const std::string port = std::to_string(catalog.server().port());
    const struct {
        const char* name;
        int status;
        std::string location;
        int code; // 0: answered by the target
        std::size_t requests;
    } cases[] = {
        {"same origin", 301, "/v1/catalog/GB/search?term=moved", 0, 2},
        {"same origin, absolute", 308, "http://127.0.0.1:" + port + "/v1/catalog/FR/search", 0, 2},
        {"other port", 302, "http://127.0.0.1:1" + path, NetworkError::redirectedElsewhere, 1},
        {"other host", 307, "http://localhost:" + port + path, NetworkError::redirectedElsewhere, 1},
        {"other scheme", 302, "https://127.0.0.1:" + port + path, NetworkError::redirectedElsewhere, 1},
        {"loop", 302, path + "?again", NetworkError::tooManyRedirects, 6},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        catalog.redirect(path, each.status, each.location);
        const std::size_t before = catalog.requests().size();
        const auto response = search("notes");
        const auto requests = catalog.requests();
        EXPECT_EQ(requests.size() - before, each.requests);
        if (each.code == 0) {
            EXPECT_TRUE(response.has_value());
            EXPECT_EQ(requests.back().header("Host"), "127.0.0.1:" + port);
            EXPECT_EQ(requests.back().header("authorization"), "Bearer test-token");
        } else {
            EXPECT_EQ(response ? 0 : response.error().code, each.code);
        }
    }
}

TEST_F(SearchAPIClientTest, AnAnswerWithAByteOrderMarkAndARawTabInATextIsRead)
{
    catalog.setAnswer(FakeCatalogServer::Route::search, 200,
                      "\xEF\xBB\xBF{\"results\": {\"search-result\": {\"data\": [{\"id\": \"1\t2\", \"type\": \"apps\"}]}}}");
    const auto response = search("notes");
    ASSERT_TRUE(response.has_value()) << response.error().message.toStdString();
    EXPECT_EQ(response->results.value().searchResult.value().data.value().front().id, "1\t2");
}

TEST_F(SearchAPIClientTest, ContentsFollowTheAskedIdsAndKeepIncompleteRecords)
{
    const auto response = complete<AppContentsResponse>([&](auto completion) {
        client.getContents("ipad", "1000000003,1000000001,404,1000000004,1000000005", unitedStates, "en-US", completion);
    });
    ASSERT_TRUE(response.has_value() && response->data.has_value());
    QStringList ids;
    for (const SearchAppSearchResultDatum& datum : *response->data)
        ids.append(datum.id.value_or(""));
    EXPECT_EQ(ids, (QStringList{"1000000003", "1000000001", "1000000004", "1000000005"}));
}

TEST_F(SearchAPIClientTest, AHugeSearchAnswerKeepsItsFirstFiftyAppsCountsEveryItemAndSumsItselfUpShort)
{
    // 60 apps with long ids, then empty items up to 31 MiB.
    const std::string longId(100, '7');
    std::string body = R"({"results": {"search-result": {"data": [)";
    for (int index = 1; index <= 60; ++index)
        body += R"({"type": "apps", "id": ")" + longId + std::to_string(index) + R"("}, )";
    qsizetype items = 60;
    for (body += "{}", ++items; body.size() < (31u << 20); ++items)
        body += ",{}";
    catalog.setAnswer(FakeCatalogServer::Route::search, 200, body + "]}}}");

    const auto response = search("notes");
    ASSERT_TRUE(response.has_value());
    const SearchAppSearchResult& result = response->results.value().searchResult.value();
    ASSERT_EQ(result.data.value().size(), SearchAppSearchResult::keptApps);
    EXPECT_EQ(result.data->back().id, QString::fromStdString(longId + "50"));
    EXPECT_EQ(result.itemCount, items);
    EXPECT_EQ(response->summary(), response->description().left(SearchAppResponse::summaryLength) + "… (" +
                                       QString::number(items) + " items)");
}

TEST_F(SearchAPIClientTest, ATrickledAnswerEndsAtTheDeadlineNeverBefore)
{
    catalog.trickle(FakeCatalogServer::Route::search, 10ms);
    constexpr std::chrono::milliseconds deadline = 1s;
    NetworkManager impatient(NetworkManager::defaultTransferTimeout, deadline);
    SearchAPIClient slowClient(impatient);
    // Sent at moments spread over a fifth of a second: a timer that moved its moment to a
    // rounder one nearby would end some of them early.
    std::array<std::pair<QElapsedTimer, std::optional<std::chrono::nanoseconds>>, 6> sent;
    for (auto& request : sent) {
        request.first.start();
        slowClient.searchApp("iphone", "notes", unitedStates, "en-US", [&request](auto response) {
            EXPECT_EQ(response ? 0 : response.error().code, NetworkError::timedOut);
            request.second = std::chrono::nanoseconds(request.first.nsecsElapsed());
        });
        Testing::pumpEvents(37ms);
    }
    for (const auto& request : sent) {
        ASSERT_TRUE(Testing::waitUntil([&] { return request.second.has_value(); }, 30s));
        EXPECT_GE(*request.second, deadline);
    }
}

TEST(SearchAPIRouter, TheBaseUrlGivesPrefixAndHostAndAnUnusableOneIsAnEndpointError)
{
    // The router reads the base URL when it is made.
    const struct {
        const char* base;
        const char* host; // none: refused
        const char* prefix; // of the URL, before the path and query every row shares
    } cases[] = {
        {"", "amp-api-edge.apps.apple.com", "https://amp-api-edge.apps.apple.com/"},
        {"http://127.0.0.1:8080/prefix/", "127.0.0.1:8080", "http://127.0.0.1:8080/prefix/"},
        {"https://catalog.example:443", "catalog.example", "https://catalog.example:443/"},
        {"http://catalog.example:443", "catalog.example:443", "http://catalog.example:443/"},
        {"http://[::1]:9000", "[::1]:9000", "http://[::1]:9000/"},
        {"not a url", nullptr, nullptr},
        {"ftp://catalog.example", nullptr, nullptr},
        {"http://", nullptr, nullptr},
        {"https:///path", nullptr, nullptr},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.base);
        ScopedEnvironmentVariable url("TIVRAND_CATALOG_URL", each.base);
        const auto request = SearchAPIRouter::searchApp("mac", "x", "a/b?c", "en").makeRequest();
        ASSERT_EQ(request.has_value(), each.host != nullptr);
        if (!request) {
            EXPECT_EQ(request.error().code, NetworkError::invalidUrl);
            continue;
        }
        EXPECT_EQ(request->rawHeader("Host"), each.host);
        EXPECT_EQ(request->url().toString(QUrl::FullyEncoded),
                  QString(each.prefix) + "v1/catalog/a%2Fb%3Fc/search?platform=mac&term=x&l=en");
    }
}

TEST(SearchAPIRouter, TheBuiltInTokenIsAJsonWebToken)
{
    ScopedEnvironmentVariable noToken("TIVRAND_CATALOG_TOKEN", "");
    const auto request = SearchAPIRouter::searchApp("iphone", "x", "US", "en-US").makeRequest();
    const QByteArray authorization = request.value_or(QNetworkRequest()).rawHeader("authorization");
    ASSERT_TRUE(authorization.startsWith("Bearer "));
    EXPECT_EQ(authorization.mid(7).count('.'), 2) << "a JSON Web Token has three parts";
}

TEST(CatalogRecords, MissingOrMistypedKeysAreAbsent)
{
    EXPECT_FALSE(decoded<SearchAppResponse>("[]").has_value());
    EXPECT_FALSE(decoded<AppContentsResponse>(R"("text")", QStringList()).has_value());
    EXPECT_FALSE(decoded<SearchAppSearchResultDatum>("3").has_value());
    EXPECT_FALSE(decoded<SearchAppResponse>(R"({"results": []})")->results.has_value());
    EXPECT_FALSE(decoded<SearchAppResponse>(R"({"results": {"searchResult": {}}})")->results->searchResult);
    EXPECT_FALSE(decoded<SearchAppResponse>(R"({"results": {"search-result": {"data": "x"}}})")
                     ->results->searchResult->data.has_value());

    const auto contents = decoded<AppContentsResponse>(R"({"data": [7, "text", null, {"id": 2}, {"id": "2", "attributes": "none"}, {"id": "2", "attributes": {}}]})",
                                                       QStringList{"2"});
    ASSERT_TRUE(contents && contents->data);
    ASSERT_EQ(contents->data->size(), 1) << "elements that are not objects, not of an asked id or repeated are left out";
    EXPECT_FALSE(contents->data->at(0).attributes.has_value());

    const auto mistyped = decoded<SearchAppSearchResultDatum>(R"({"id": 1000, "type": ["apps"], "attributes": {
            "name": false, "artistName": {}, "url": 3,
            "userRating": {"value": "4.5", "ratingCount": 12.5},
            "platformAttributes": {"ios": {"subtitle": 1, "artwork": {"url": [], "width": "512", "height": 1e12}}, "osx": 5}
        }})");
    ASSERT_TRUE(mistyped.has_value());
    EXPECT_FALSE(mistyped->id || mistyped->type);
    const SearchAppAttributes& attributes = mistyped->attributes.value();
    EXPECT_FALSE(attributes.name || attributes.artistName || attributes.url);
    EXPECT_FALSE(attributes.userRating.value().value || attributes.userRating->ratingCount);
    ASSERT_EQ(attributes.platformAttributes.value().keys(), QStringList{"ios"});
    const SearchAppPlatformAttributes& ios = attributes.platformAttributes->value("ios");
    EXPECT_FALSE(ios.subtitle || ios.artwork.value().url || ios.artwork->width || ios.artwork->height);
}

TEST(CatalogRecords, DescriptionShowsPresentAndAbsentFieldsAndEscapesTextsOntoOneLine)
{
    const auto datum = decoded<SearchAppSearchResultDatum>(R"({"id": "1", "type": "apps", "attributes": {"name": "Say \"hi\""}})");
    EXPECT_EQ(datum->description(),
              R"(SearchAppSearchResultDatum(id: "1", type: "apps", href: nil, attributes: Attributes(name: "Say \"hi\"", )"
              R"(artistName: nil, url: nil, userRating: nil, platformAttributes: nil)))");
    EXPECT_EQ(decoded<SearchAppResponse>(R"({"results": {"search-result": {"data": [{"id": "1", "type": "apps", "href": "h"}, {}]}}})")
                  ->description(),
              R"(SearchAppResponse(results: SearchAppResults(searchResult: SearchAppSearchResult(data: [)"
              R"(SearchAppSearchResultDatum(id: "1", type: "apps", href: nil, attributes: nil)], itemCount: 2))))");
    EXPECT_EQ(AppContentsResponse{}.description(), "AppContentsResponse(data: nil)");
    EXPECT_EQ(decoded<SearchAppUserRating>(R"({"value": 4.5, "ratingCount": 3})")->description(),
              "UserRating(value: 4.5, ratingCount: 3)");

    // Described texts stay on one line.
    const struct {
        QString text;
        QString described;
    } cases[] = {
        {"two\r\nlines\tand a tab", R"("two\r\nlines\tand a tab")"},
        {"back\\slash \"quoted\"", R"("back\\slash \"quoted\"")"},
        {QStringLiteral("bell\x07 esc\x1b[31m del\x7f nel\u0085 ls\u2028 ps\u2029"),
         R"("bell\u{7} esc\u{1b}[31m del\u{7f} nel\u{85} ls\u{2028} ps\u{2029}")"},
        {QStringLiteral("Ünïcödé 🚀"), QStringLiteral("\"Ünïcödé 🚀\"")},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.described.toStdString());
        EXPECT_EQ(RecordDescription::describe(std::optional(each.text)).toStdString(), each.described.toStdString());
    }
}

TEST(AppPresentationItem, CompleteRecordFillsEveryFieldWithAFreshIdAndTheIconFromItsTemplate)
{
    const auto item = itemFrom(twoFamilies, Platform::iPad);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(QStringList({item->appId, item->name, item->developerName, item->appStoreUrl, item->iconUrl}),
              QStringList({"42", "Harbor", "Quay", "https://apps.apple.com/us/app/id42",
                           "https://x/ios/100x100bb.png"}));
    EXPECT_EQ(std::pair(item->rating, item->ratingCount), std::pair(4.25, 880));
    EXPECT_NE(item->id, itemFrom(twoFamilies, Platform::iPad)->id);
    // The icon template is filled wherever its placeholders stand.
    EXPECT_EQ(iconUrlFromTemplate("{f}/{c}/{h}/{w}/{w}"), "png/bb/100/100/100");
    EXPECT_EQ(iconUrlFromTemplate("https://x/plain.png"), "https://x/plain.png");
}

TEST(AppPresentationItem, PlatformChoosesItsFamilyThenFallsBack)
{
    const char* const unknownFamily = R"({"id": "1", "attributes": {"name": "N", "url": "u",
        "platformAttributes": {"appletvos": {"subtitle": "TV"}}}})";
    const char* const visionAndMac = R"({"id": "1", "attributes": {"name": "N", "url": "u",
        "platformAttributes": {"xros": {"subtitle": "Space"}, "osx": {"subtitle": "Desk"}}}})";
    const struct {
        const char* json;
        Platform platform;
        const char* subtitle;
    } cases[] = {
        {twoFamilies, Platform::Mac, "Desk"},      {twoFamilies, Platform::Vision, "Phone"},
        {unknownFamily, Platform::iPhone, "TV"},   {visionAndMac, Platform::Vision, "Space"},
        {visionAndMac, Platform::iPhone, "Desk"},
    };
    for (const auto& each : cases)
        EXPECT_EQ(itemFrom(each.json, each.platform)->subtitle, each.subtitle) << each.json;
}

TEST(AppPresentationItem, IncompleteRecordsGiveNoItemButOptionalFieldsMayBeMissing)
{
    for (const char* text : {
             R"({"attributes": {"name": "N", "url": "u"}})",
             R"({"id": "", "attributes": {"name": "N", "url": "u"}})",
             R"({"id": "1", "attributes": {"url": "u"}})",
             R"({"id": "1", "attributes": {"name": "", "url": "u"}})",
             R"({"id": "1", "attributes": {"name": "N"}})",
             R"({"id": "1", "attributes": {"name": "N", "url": 5}})",
             R"({"id": "1"})",
         })
        EXPECT_FALSE(itemFrom(text)) << text;

    const auto bare = itemFrom(R"({"id": "7", "attributes": {"name": "Bare", "url": "u"}})");
    ASSERT_TRUE(bare.has_value());
    EXPECT_FALSE(bare->subtitle.has_value());
}
