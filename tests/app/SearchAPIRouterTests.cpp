#include "TivrandApp/services/SearchAPIRouter.h"

#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

using namespace Tivrand;
using Testing::ScopedEnvironmentVariable;

namespace {

QNetworkRequest built(const SearchAPIRouter& router)
{
    const auto request = router.makeRequest();
    EXPECT_TRUE(request.has_value()) << (request ? "" : request.error().message.toStdString());
    return request.value_or(QNetworkRequest());
}

} // namespace

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

TEST(SearchAPIRouter, FixedHeadersAndTheirOverrides)
{
    {
        ScopedEnvironmentVariable noUrl("TIVRAND_CATALOG_URL", "");
        ScopedEnvironmentVariable noToken("TIVRAND_CATALOG_TOKEN", "");
        const QNetworkRequest request = built(SearchAPIRouter::searchApp("iphone", "x", "US", "en-US"));
        EXPECT_EQ(request.rawHeader("Host"), "amp-api-edge.apps.apple.com");
        EXPECT_EQ(request.rawHeader("user-agent"), "Tivrand");
        EXPECT_EQ(request.rawHeader("Cookie"), "dslang=US-EN");
        const QByteArray authorization = request.rawHeader("authorization");
        ASSERT_TRUE(authorization.startsWith("Bearer "));
        EXPECT_EQ(authorization.mid(7).count('.'), 2) << "a JSON Web Token has three parts";
    }
    ScopedEnvironmentVariable token("TIVRAND_CATALOG_TOKEN", "test-token");
    const std::pair<const char*, const char*> hosts[] = {
        {"http://127.0.0.1:8080/prefix/", "127.0.0.1:8080"},
        {"https://catalog.example:443", "catalog.example"},
        {"http://catalog.example:443", "catalog.example:443"},
        {"http://[::1]:9000", "[::1]:9000"},
    };
    for (const auto& [base, host] : hosts) {
        ScopedEnvironmentVariable url("TIVRAND_CATALOG_URL", base);
        const QNetworkRequest request = built(SearchAPIRouter::searchApp("iphone", "x", "US", "en"));
        EXPECT_EQ(request.rawHeader("Host"), host) << base;
        EXPECT_EQ(request.rawHeader("authorization"), "Bearer test-token");
    }
}

TEST(SearchAPIRouter, UnusableBaseUrlIsAnEndpointError)
{
    for (const char* base : {"not a url", "ftp://catalog.example", "http://", "https:///path"}) {
        ScopedEnvironmentVariable url("TIVRAND_CATALOG_URL", base);
        const auto request = SearchAPIRouter::searchApp("iphone", "x", "US", "en").makeRequest();
        ASSERT_FALSE(request.has_value()) << base;
        EXPECT_EQ(request.error().code, NetworkError::invalidUrl);
        EXPECT_TRUE(request.error().localizedDescription().startsWith("Invalid URL")) << base;
    }
}
