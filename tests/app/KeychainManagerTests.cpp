#include "TivrandApp/services/KeychainManager.h"

#include "tests/app/FakeKeychain.h"

#include <gtest/gtest.h>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

struct KeychainManagerTest : ::testing::Test {
    FakeKeychain keychain;
    FakeSecretStore& store = *keychain.store;
    KeychainManager& manager = keychain.manager;
};

} // namespace

TEST_F(KeychainManagerTest, RetrieveDecodesUtf8TextAndReportsStoreFailures)
{
    store.setText(appleIdAccount, QByteArray("d\xC3\xA9v@example.com \xE2\x82\xAC"));
    EXPECT_EQ(manager.retrieve(appleIdAccount).value_or("failed"), QStringLiteral("d\u00E9v@example.com \u20AC"));
    EXPECT_EQ(store.asked(), QStringList{appleIdAccount});

    store.set("down", std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable, "no bus")));
    const struct {
        const char* account;
        KeychainStatus status;
        const char* described;
    } failures[] = {{"missing", KeychainStatus::itemNotFound, "not found"},
                    {"down", KeychainStatus::serviceUnavailable, "no bus"}};
    for (const auto& each : failures) {
        const auto value = manager.retrieve(each.account);
        ASSERT_FALSE(value.has_value()) << each.account;
        EXPECT_EQ(value.error().kind(), KeychainError::Kind::unexpectedStatus);
        EXPECT_EQ(value.error().status(), each.status);
        EXPECT_TRUE(value.error().description().contains(each.described)) << each.account;
    }
}

TEST(KeychainManager, WithoutAStoreEveryReadIsAnError)
{
    const KeychainManager manager(nullptr);
    const auto value = manager.retrieve(appleIdAccount);
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error().status(), KeychainStatus::serviceUnavailable);
    EXPECT_FALSE(manager.hasValidSearchAdsSession());
}

TEST_F(KeychainManagerTest, ItemWithoutDataOrWithInvalidUtf8IsInvalidItemFormat)
{
    store.set("no data", std::optional<QByteArray>());
    store.setText("latin1", "caf\xE9");
    store.setText("truncated", "euro \xE2\x82");
    store.setText("overlong", "\xC0\xAF");
    store.setText("surrogate", "\xED\xA0\x80");
    for (const char* account : {"no data", "latin1", "truncated", "overlong", "surrogate"}) {
        SCOPED_TRACE(account);
        const auto value = manager.retrieve(account);
        ASSERT_FALSE(value.has_value());
        EXPECT_EQ(value.error().kind(), KeychainError::Kind::invalidItemFormat);
        EXPECT_EQ(value.error().status(), std::nullopt);
        EXPECT_FALSE(value.error().description().isEmpty());
    }
}

TEST_F(KeychainManagerTest, SearchAdsSessionNeedsOneOfTheCookieMarkersInAReadableItem)
{
    EXPECT_FALSE(manager.hasValidSearchAdsSession()) << "no item";
    const struct {
        FakeSecretStore::Answer item;
        bool loggedIn;
    } cases[] = {
        {QByteArray("XSRF-TOKEN-CM=abc; other=1"), true},
        {QByteArray("dslang=US-EN; searchads.userId=42"), true},
        {QByteArray("searchads.userId=42; XSRF-TOKEN-CM=abc"), true},
        {QByteArray("dslang=US-EN; myacinfo=xyz"), false},
        {QByteArray("xsrf-token-cm=abc"), false},
        {QByteArray(""), false},
        {QByteArray("XSRF-TOKEN-CM=\xFF"), false},
        {std::optional<QByteArray>(), false},
        {std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::timedOut)), false},
    };
    for (const auto& each : cases) {
        store.set(cookieAccount, each.item);
        EXPECT_EQ(manager.hasValidSearchAdsSession(), each.loggedIn) << (each.item ? each.item->value_or("-").toStdString() : "error");
    }
    EXPECT_EQ(store.asked().count(cookieAccount), store.asked().size());
}
