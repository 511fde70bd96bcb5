#include "TivrandApp/services/KeychainManager.h"

#include "tests/app/FakeKeychain.h"

#include <gtest/gtest.h>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

const FakeSecretStore::Answer serviceDown =
    std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable, "no bus"));

} // namespace

TEST(KeychainManager, RetrieveDecodesUtf8TextAndReportsStoreFailures)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, QByteArray("d\xC3\xA9v@example.com \xE2\x82\xAC"));
    keychain.store->set("down", serviceDown);
    EXPECT_EQ(keychain.manager.retrieve(appleIdAccount).value_or("failed"),
              QStringLiteral("d\u00E9v@example.com \u20AC"));

    const std::pair<const char*, KeychainStatus> failures[] = {{"missing", KeychainStatus::itemNotFound},
                                                               {"down", KeychainStatus::serviceUnavailable}};
    for (const auto& [account, status] : failures) {
        SCOPED_TRACE(account);
        const auto value = keychain.manager.retrieve(account);
        ASSERT_FALSE(value.has_value());
        EXPECT_EQ(value.error().kind(), KeychainError::Kind::unexpectedStatus);
        EXPECT_EQ(value.error().status(), status);
    }
    EXPECT_TRUE(keychain.manager.retrieve("down").error().description().contains("no bus"));

    const KeychainManager withoutStore(nullptr);
    EXPECT_EQ(withoutStore.retrieve(appleIdAccount).error().status(), KeychainStatus::serviceUnavailable);
    EXPECT_FALSE(withoutStore.hasValidSearchAdsSession());
}

TEST(KeychainManager, ItemWithoutDataOrWithInvalidUtf8IsInvalidItemFormat)
{
    for (const FakeSecretStore::Answer& item :
         {FakeSecretStore::Answer(std::optional<QByteArray>()), FakeSecretStore::Answer(QByteArray("caf\xE9")),
          FakeSecretStore::Answer(QByteArray("euro \xE2\x82")), FakeSecretStore::Answer(QByteArray("\xC0\xAF")),
          FakeSecretStore::Answer(QByteArray("\xED\xA0\x80"))}) {
        SCOPED_TRACE(item->value_or("no data").toHex().toStdString());
        FakeKeychain keychain;
        keychain.store->set(appleIdAccount, item);
        const auto value = keychain.manager.retrieve(appleIdAccount);
        ASSERT_FALSE(value.has_value());
        EXPECT_EQ(value.error().kind(), KeychainError::Kind::invalidItemFormat);
        EXPECT_FALSE(value.error().description().isEmpty());
    }
}

TEST(KeychainManager, SearchAdsSessionNeedsOneOfTheCookieMarkersInAReadableItem)
{
    FakeKeychain keychain;
    EXPECT_FALSE(keychain.manager.hasValidSearchAdsSession()) << "no item";
    const std::pair<FakeSecretStore::Answer, bool> cases[] = {
        {QByteArray("XSRF-TOKEN-CM=abc; other=1"), true},
        {QByteArray("dslang=US-EN; searchads.userId=42"), true},
        {QByteArray("dslang=US-EN; myacinfo=xyz"), false},
        {QByteArray("xsrf-token-cm=abc"), false},
        {QByteArray(""), false},
        {QByteArray("XSRF-TOKEN-CM=\xFF"), false},
        {std::optional<QByteArray>(), false},
        {serviceDown, false},
    };
    for (const auto& [item, loggedIn] : cases) {
        SCOPED_TRACE(item ? item->value_or("-").toStdString() : "error");
        keychain.store->set(cookieAccount, item);
        EXPECT_EQ(keychain.manager.hasValidSearchAdsSession(), loggedIn);
    }
    EXPECT_EQ(keychain.store->asked().count(cookieAccount), keychain.store->asked().size());
}
