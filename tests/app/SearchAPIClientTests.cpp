#include "TivrandApp/services/SearchAPIClient.h"
#include "TivrandApp/services/SearchAPIRouter.h"

#include "tests/support/EventLoop.h"
#include "tests/support/FakeCatalogServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <optional>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::FakeCatalogServer;
using Testing::ScopedEnvironmentVariable;

namespace {

QNetworkRequest built(const SearchAPIRouter& router)
{
    const auto request = router.makeRequest();
    EXPECT_TRUE(request.has_value()) << (request ? "" : request.error().message.toStdString());
    return request.value_or(QNetworkRequest());
}

const Country unitedStates{"id", "US", "United States", "", {"en-US", "English (U.S.)"}, {}};

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

    std::expected<AppContentsResponse, NetworkError> contents(const QString& ids)
    {
        return complete<AppContentsResponse>([&](auto completion) {
            client.getContents("ipad", ids, unitedStates, "en-US", completion);
        });
    }
};

} // namespace

TEST_F(SearchAPIClientTest, SearchSendsPathQueryAndFixedHeadersButNeverTheServersCookies)
{
    catalog.setCookie("session=server-made; Path=/");
    ASSERT_TRUE(search("notes").has_value());
    ASSERT_TRUE(search("c++ & c# tips").has_value());
    const Testing::RecordedRequest request = catalog.requests(FakeCatalogServer::Route::search).back();
    EXPECT_EQ(request.target, "/v1/catalog/US/search?platform=iphone&term=c%2B%2B%20%26%20c%23%20tips&l=en-US");
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
            EXPECT_EQ(response.error().domain, "NetworkManager");
            EXPECT_EQ(response.error().code, each.code);
        }
    }
}

TEST_F(SearchAPIClientTest, ContentsFollowTheAskedIdsAndKeepIncompleteRecords)
{
    const auto response = contents("1000000003,1000000001,404,1000000004,1000000005");
    ASSERT_TRUE(response.has_value() && response->data.has_value());
    QStringList ids;
    for (const SearchAppSearchResultDatum& datum : *response->data)
        ids.append(datum.id.value_or(""));
    EXPECT_EQ(ids, (QStringList{"1000000003", "1000000001", "1000000004", "1000000005"}));
    EXPECT_EQ(catalog.requests(FakeCatalogServer::Route::contents).front().target,
              "/v1/catalog/US/contents?platform=ipad&l=en-US&ids=1000000003%2C1000000001%2C404%2C1000000004%2C1000000005");
}

TEST(SearchAPIRouter, UrlsCarryPathAndPercentEncodedQuery)
{
    // The router reads the base URL when it is made.
    const struct {
        const char* baseOverride;
        bool contents;
        const char* platform;
        const char* termOrIds;
        const char* countryCode;
        const char* language;
        const char* url;
    } cases[] = {
        {"", false, "iphone", "c++ & c# = 100% fun é", "US", "en-US",
         "https://amp-api-edge.apps.apple.com/v1/catalog/US/search"
         "?platform=iphone&term=c%2B%2B%20%26%20c%23%20%3D%20100%25%20fun%20%C3%A9&l=en-US"},
        {"", true, "realityDevice", "1,2,3", "GB", "en-GB",
         "https://amp-api-edge.apps.apple.com/v1/catalog/GB/contents?platform=realityDevice&l=en-GB&ids=1%2C2%2C3"},
        {"", false, "mac", "x", "a/b?c", "en",
         "https://amp-api-edge.apps.apple.com/v1/catalog/a%2Fb%3Fc/search?platform=mac&term=x&l=en"},
        {"http://127.0.0.1:8080/prefix/", false, "ipad", "x", "FR", "fr-FR",
         "http://127.0.0.1:8080/prefix/v1/catalog/FR/search?platform=ipad&term=x&l=fr-FR"},
    };
    for (const auto& each : cases) {
        ScopedEnvironmentVariable url("TIVRAND_CATALOG_URL", each.baseOverride);
        const auto make = each.contents ? &SearchAPIRouter::getContents : &SearchAPIRouter::searchApp;
        const SearchAPIRouter router = make(each.platform, each.termOrIds, each.countryCode, each.language);
        EXPECT_EQ(built(router).url().toString(QUrl::FullyEncoded), each.url);
    }
}

TEST(SearchAPIRouter, TheBuiltInTokenAndTheHostOfTheBaseUrl)
{
    ScopedEnvironmentVariable noUrl("TIVRAND_CATALOG_URL", "");
    ScopedEnvironmentVariable noToken("TIVRAND_CATALOG_TOKEN", "");
    const QNetworkRequest request = built(SearchAPIRouter::searchApp("iphone", "x", "US", "en-US"));
    EXPECT_EQ(request.rawHeader("Host"), "amp-api-edge.apps.apple.com");
    const QByteArray authorization = request.rawHeader("authorization");
    ASSERT_TRUE(authorization.startsWith("Bearer "));
    EXPECT_EQ(authorization.mid(7).count('.'), 2) << "a JSON Web Token has three parts";

    const std::pair<const char*, const char*> hosts[] = {
        {"http://127.0.0.1:8080/prefix/", "127.0.0.1:8080"},
        {"https://catalog.example:443", "catalog.example"},
        {"http://catalog.example:443", "catalog.example:443"},
        {"http://[::1]:9000", "[::1]:9000"},
    };
    for (const auto& [base, host] : hosts) {
        ScopedEnvironmentVariable url("TIVRAND_CATALOG_URL", base);
        EXPECT_EQ(built(SearchAPIRouter::searchApp("iphone", "x", "US", "en")).rawHeader("Host"), host) << base;
    }
}

TEST(SearchAPIRouter, UnusableBaseUrlIsAnEndpointError)
{
    for (const char* base : {"not a url", "ftp://catalog.example", "http://", "https:///path"}) {
        ScopedEnvironmentVariable url("TIVRAND_CATALOG_URL", base);
        const auto request = SearchAPIRouter::searchApp("iphone", "x", "US", "en").makeRequest();
        ASSERT_FALSE(request.has_value()) << base;
        EXPECT_EQ(request.error().code, NetworkError::invalidUrl);
    }
}
