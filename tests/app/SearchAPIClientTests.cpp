#include "TivrandApp/models/AppPresentationItem.h"
#include "TivrandApp/services/SearchAPIClient.h"

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

TEST_F(SearchAPIClientTest, SearchSendsPathQueryAndHeaders)
{
    ASSERT_TRUE(search("c++ & c# tips").has_value());
    const auto requests = catalog.requests(FakeCatalogServer::Route::search);
    ASSERT_EQ(requests.size(), 1u);
    const Testing::RecordedRequest& request = requests.front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/v1/catalog/US/search");
    EXPECT_EQ(request.target, "/v1/catalog/US/search?platform=iphone&term=c%2B%2B%20%26%20c%23%20tips&l=en-US");

    const std::string host = "127.0.0.1:" + std::to_string(catalog.server().port());
    EXPECT_EQ(request.headers.count("Host"), 1u);
    EXPECT_EQ(request.header("Host"), host);
    EXPECT_EQ(request.header("user-agent"), "Tivrand");
    EXPECT_EQ(request.header("authorization"), "Bearer test-token");
    EXPECT_EQ(request.header("Cookie"), "dslang=US-EN");
}

TEST_F(SearchAPIClientTest, SearchAnswerDecodesEveryItem)
{
    const auto response = search("notes");
    ASSERT_TRUE(response.has_value());
    const auto& data = response->results->searchResult->data;
    ASSERT_TRUE(data.has_value());
    ASSERT_EQ(data->size(), 13);
    EXPECT_EQ(data->at(0).id, "1000000001");
    EXPECT_EQ(data->at(2).type, "editorial-items");
    EXPECT_FALSE(data->at(7).id.has_value());
}

TEST_F(SearchAPIClientTest, ContentsFollowTheAskedIdsAndKeepIncompleteRecords)
{
    const auto response = contents("1000000003,1000000001,404,1000000004,1000000005");
    ASSERT_TRUE(response.has_value() && response->data.has_value());
    QStringList ids;
    QStringList names;
    for (const SearchAppSearchResultDatum& datum : *response->data) {
        ids.append(datum.id.value_or(""));
        if (const auto item = AppPresentationItem::make(datum, Platform::iPad, unitedStates))
            names.append(item->name);
    }
    EXPECT_EQ(ids, (QStringList{"1000000003", "1000000001", "1000000004", "1000000005"}));
    EXPECT_EQ(names, (QStringList{"Pinecone Timer", "Harbor Notes"}));

    const auto requests = catalog.requests(FakeCatalogServer::Route::contents);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().target, "/v1/catalog/US/contents?platform=ipad&l=en-US"
                                       "&ids=1000000003%2C1000000001%2C404%2C1000000004%2C1000000005");
}
