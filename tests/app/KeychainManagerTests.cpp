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

TEST_F(KeychainManagerTest, RetrieveDecodesUtf8Text)
{
    store.setText(appleIdAccount, QByteArray("d\xC3\xA9v@example.com \xE2\x82\xAC"));

    const auto value = manager.retrieve(appleIdAccount);

    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, QStringLiteral("d\u00E9v@example.com \u20AC"));
    EXPECT_EQ(store.asked(), QStringList{appleIdAccount});
}

TEST_F(KeychainManagerTest, MissingItemAndStoreFailuresAreUnexpectedStatus)
{
    store.set(QStringLiteral("down"),
               std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable,
                                                               QStringLiteral("no bus"))));

    const auto missing = manager.retrieve(appleIdAccount);
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().kind(), KeychainError::Kind::unexpectedStatus);
    EXPECT_EQ(missing.error().status(), KeychainStatus::itemNotFound);
    EXPECT_TRUE(missing.error().description().contains(QStringLiteral("not found")));

    const auto down = manager.retrieve(QStringLiteral("down"));
    ASSERT_FALSE(down.has_value());
    EXPECT_EQ(down.error().status(), KeychainStatus::serviceUnavailable);
    EXPECT_TRUE(down.error().description().contains(QStringLiteral("no bus")));
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
    store.set(QStringLiteral("no data"), std::optional<QByteArray>());
    store.setText(QStringLiteral("latin1"), QByteArray("caf\xE9"));
    store.setText(QStringLiteral("truncated"), QByteArray("euro \xE2\x82"));
    store.setText(QStringLiteral("overlong"), QByteArray("\xC0\xAF"));
    store.setText(QStringLiteral("surrogate"), QByteArray("\xED\xA0\x80"));

    for (const char* account : {"no data", "latin1", "truncated", "overlong", "surrogate"}) {
        SCOPED_TRACE(account);
        const auto value = manager.retrieve(QString::fromUtf8(account));
        ASSERT_FALSE(value.has_value());
        EXPECT_EQ(value.error().kind(), KeychainError::Kind::invalidItemFormat);
        EXPECT_EQ(value.error().status(), std::nullopt);
        EXPECT_FALSE(value.error().description().isEmpty());
    }
}

TEST_F(KeychainManagerTest, SearchAdsSessionNeedsOneOfTheCookieMarkers)
{
    const struct {
        const char* bytes;
        bool loggedIn;
    } cases[] = {
        {"XSRF-TOKEN-CM=abc; other=1", true},
        {"dslang=US-EN; searchads.userId=42", true},
        {"searchads.userId=42; XSRF-TOKEN-CM=abc", true},
        {"dslang=US-EN; myacinfo=xyz", false},
        {"xsrf-token-cm=abc", false},
        {"", false},
        {"XSRF-TOKEN-CM=\xFF", false},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.bytes);
        store.setText(cookieAccount, QByteArray(each.bytes));
        EXPECT_EQ(manager.hasValidSearchAdsSession(), each.loggedIn);
    }
    EXPECT_FALSE(store.asked().isEmpty());
    EXPECT_EQ(store.asked().count(cookieAccount), store.asked().size());
}

TEST_F(KeychainManagerTest, SearchAdsSessionIsFalseWhenTheItemCannotBeRead)
{
    EXPECT_FALSE(manager.hasValidSearchAdsSession());

    store.set(cookieAccount, std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::timedOut)));
    EXPECT_FALSE(manager.hasValidSearchAdsSession());

    store.set(cookieAccount, std::optional<QByteArray>());
    EXPECT_FALSE(manager.hasValidSearchAdsSession());
}
