#include "TivrandApp/settings/SettingsViewModel.h"

#include "tests/app/FakeKeychain.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
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

// Makes a model over `keychain`, waits for its reads and answers what it printed meanwhile.
QString makeModel(FakeKeychain& keychain, std::unique_ptr<SettingsViewModel>& model)
{
    const CapturedOutput output;
    model = std::make_unique<SettingsViewModel>(keychain.manager);
    EXPECT_TRUE(finishesLoading(*model));
    return output.text();
}

} // namespace

TEST(SettingsViewModel, ReadsTheAppleIdThenTheSessionOnceEach)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, "d\xC3\xA9v@example.com");
    keychain.store->setText(cookieAccount, "foo=1; searchads.userId=42");
    std::unique_ptr<SettingsViewModel> model;
    EXPECT_EQ(makeModel(keychain, model), "");
    EXPECT_EQ(model->appleId(), QStringLiteral("d\u00E9v@example.com"));
    EXPECT_TRUE(model->isLoggedIn());
    EXPECT_EQ(keychain.store->asked(), (QStringList{appleIdAccount, cookieAccount}));

    FakeKeychain empty;
    EXPECT_EQ(makeModel(empty, model), noAppleIdLine) << "said once";
    EXPECT_EQ(model->appleId(), QString());
    EXPECT_FALSE(model->isLoggedIn());
    EXPECT_FALSE(model->error().has_value());
}

TEST(SettingsViewModel, AKeyringWaitingForTheUserHoldsUpNeitherTheWindowNorTheAnswer)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, "slow@example.com");
    keychain.store->setText(cookieAccount, "searchads.userId=42");
    keychain.store->hold();
    const CapturedOutput output;
    SettingsViewModel model(keychain.manager);
    EXPECT_TRUE(model.isLoading());
    EXPECT_EQ(model.appleId(), QString()) << "made without waiting for the keyring";

    pumpEvents(std::chrono::milliseconds(300)); // the user types the password slowly
    keychain.store->release();
    ASSERT_TRUE(finishesLoading(model));
    EXPECT_EQ(model.appleId(), "slow@example.com");
    EXPECT_TRUE(model.isLoggedIn());
    EXPECT_EQ(output.text(), "");
}

TEST(SettingsViewModel, UnreadableAppleIdIsReportedAndLeavesTheFieldAlone)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, "\xFF\xFE not text");
    std::unique_ptr<SettingsViewModel> model;
    EXPECT_EQ(makeModel(keychain, model), noAppleIdLine);
    EXPECT_EQ(model->appleId(), QString());

    model->setAppleId("typed@example.com");
    for (const FakeSecretStore::Answer& unreadable :
         {FakeSecretStore::Answer(std::optional<QByteArray>()),
          FakeSecretStore::Answer(std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable)))}) {
        keychain.store->set(appleIdAccount, unreadable);
        const CapturedOutput output;
        model->loadSavedAppleId();
        EXPECT_TRUE(waitUntil([&] { return output.text() == noAppleIdLine; }));
        EXPECT_EQ(model->appleId(), "typed@example.com");
    }
}

TEST(SettingsViewModel, EveryPublishedFieldAnnouncesRealChangesOnly)
{
    FakeKeychain keychain;
    std::unique_ptr<SettingsViewModel> model;
    makeModel(keychain, model);

    const QMetaObject& meta = *model->metaObject();
    EXPECT_EQ(meta.propertyCount() - meta.propertyOffset(), 5);
    for (int index = meta.propertyOffset(); index < meta.propertyCount(); ++index) {
        const QMetaProperty property = meta.property(index);
        SCOPED_TRACE(property.name());
        ASSERT_TRUE(property.hasNotifySignal());
        QSignalSpy spy(model.get(), property.notifySignal());
        const QVariant changed = property.metaType() == QMetaType::fromType<bool>()
            ? QVariant(!property.read(model.get()).toBool())
            : QVariant(QStringLiteral("changed"));
        ASSERT_TRUE(property.write(model.get(), changed));
        ASSERT_TRUE(property.write(model.get(), changed));
        EXPECT_EQ(spy.count(), 1);
        EXPECT_EQ(property.read(model.get()), changed);
    }

    QSignalSpy errorSpy(model.get(), &SettingsViewModel::errorChanged);
    QSignalSpy appleIdErrorSpy(model.get(), &SettingsViewModel::appleIdErrorChanged);
    QSignalSpy passwordErrorSpy(model.get(), &SettingsViewModel::passwordErrorChanged);
    model->setError("failed");
    model->setError("failed");
    model->setAppleIdError(QString());
    model->setPasswordError(std::nullopt);
    EXPECT_EQ(errorSpy.count(), 1);
    // An empty message is still a message, distinct from none.
    EXPECT_EQ(appleIdErrorSpy.count(), 1);
    EXPECT_EQ(model->appleIdError(), std::optional(QString()));
    EXPECT_EQ(passwordErrorSpy.count(), 0);
}

TEST(SettingsViewModel, DeclaredApplicationVersionWinsOverTheBuilds)
{
    const QString before = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion("2.3.4");
    EXPECT_EQ(SettingsViewModel::appVersion(), "2.3.4");
    QCoreApplication::setApplicationVersion(QString());
    EXPECT_EQ(SettingsViewModel::appVersion(), TIVRAND_VERSION);
    EXPECT_FALSE(SettingsViewModel::appVersion().isEmpty());
    QCoreApplication::setApplicationVersion(before);
}
