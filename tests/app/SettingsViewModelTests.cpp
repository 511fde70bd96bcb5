#include "TivrandApp/settings/SettingsViewModel.h"

#include "tests/app/FakeKeychain.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QMetaProperty>
#include <QSignalSpy>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

const QString noAppleIdLine = "No saved Apple ID found\n";

bool finishesLoading(const SettingsViewModel& model)
{
    return waitUntil([&] { return !model.isLoading(); });
}

} // namespace

TEST(SettingsViewModel, ReadsTheAppleIdThenTheSessionOnceEachWithoutHoldingUpTheWindow)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, "d\xC3\xA9v@example.com");
    keychain.store->setText(cookieAccount, "foo=1; searchads.userId=42");
    keychain.store->hold(); // the keyring waits for the user to unlock it
    const CapturedOutput output;
    SettingsViewModel model(keychain.manager);
    EXPECT_TRUE(model.isLoading());
    EXPECT_EQ(model.appleId(), QString()) << "made without waiting for the keyring";
    pumpEvents(std::chrono::milliseconds(300));
    keychain.store->release();
    ASSERT_TRUE(finishesLoading(model));
    EXPECT_EQ(model.appleId(), QStringLiteral("d\u00E9v@example.com"));
    EXPECT_TRUE(model.isLoggedIn());
    EXPECT_EQ(keychain.store->asked(), (QStringList{appleIdAccount, cookieAccount}));
    EXPECT_EQ(output.text(), "");
}

TEST(SettingsViewModel, AMissingOrUnreadableAppleIdIsSaidOnceAndLeavesTheFieldAlone)
{
    FakeKeychain keychain;
    const CapturedOutput output;
    SettingsViewModel model(keychain.manager);
    ASSERT_TRUE(finishesLoading(model));
    EXPECT_EQ(output.text(), noAppleIdLine);
    EXPECT_FALSE(model.isLoggedIn());
    EXPECT_FALSE(model.error().has_value());

    model.setAppleId("typed@example.com");
    for (const FakeSecretStore::Answer& unreadable :
         {FakeSecretStore::Answer(QByteArray("\xFF\xFE not text")), FakeSecretStore::Answer(std::optional<QByteArray>()),
          FakeSecretStore::Answer(std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable)))}) {
        keychain.store->set(appleIdAccount, unreadable);
        const CapturedOutput again;
        model.loadSavedAppleId();
        EXPECT_TRUE(waitUntil([&] { return again.text() == noAppleIdLine; }));
        EXPECT_EQ(model.appleId(), "typed@example.com");
    }
}

TEST(SettingsViewModel, EveryPublishedFieldAnnouncesRealChangesOnly)
{
    FakeKeychain keychain;
    SettingsViewModel model(keychain.manager);
    ASSERT_TRUE(finishesLoading(model));

    const QMetaObject& meta = *model.metaObject();
    for (int index = meta.propertyOffset(); index < meta.propertyCount(); ++index) {
        const QMetaProperty property = meta.property(index);
        SCOPED_TRACE(property.name());
        QSignalSpy spy(&model, property.notifySignal());
        const QVariant changed = property.metaType() == QMetaType::fromType<bool>()
            ? QVariant(!property.read(&model).toBool())
            : QVariant(QStringLiteral("changed"));
        ASSERT_TRUE(property.write(&model, changed));
        ASSERT_TRUE(property.write(&model, changed));
        EXPECT_EQ(spy.count(), 1);
    }

    // An empty message is still a message, distinct from none.
    QSignalSpy appleIdErrors(&model, &SettingsViewModel::appleIdErrorChanged);
    QSignalSpy passwordErrors(&model, &SettingsViewModel::passwordErrorChanged);
    model.setAppleIdError(QString());
    model.setPasswordError(std::nullopt);
    EXPECT_EQ(appleIdErrors.count(), 1);
    EXPECT_EQ(passwordErrors.count(), 0);
}
