#include "TivrandApp/settings/SettingsViewModel.h"

#include "tests/app/FakeKeychain.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaProperty>
#include <QSignalSpy>

#include <string>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

const std::string noAppleIdLine = "No saved Apple ID found\n";

struct SettingsViewModelTest : ::testing::Test {
    FakeKeychain keychain;

    // Makes the model and answers what it printed while being made.
    std::string makeModel(std::unique_ptr<SettingsViewModel>& model)
    {
        ::testing::internal::CaptureStdout();
        model = std::make_unique<SettingsViewModel>(keychain.manager);
        return ::testing::internal::GetCapturedStdout();
    }
};

} // namespace

TEST_F(SettingsViewModelTest, WithoutKeychainItemsSaysSoOnceAndStaysLoggedOut)
{
    std::unique_ptr<SettingsViewModel> model;

    EXPECT_EQ(makeModel(model), noAppleIdLine);

    EXPECT_EQ(model->appleId(), QString());
    EXPECT_FALSE(model->isLoggedIn());
    EXPECT_EQ(model->appSpecificPassword(), QString());
    EXPECT_FALSE(model->isLoading());
    EXPECT_FALSE(model->isSuccess());
    EXPECT_FALSE(model->error().has_value());
    EXPECT_FALSE(model->appleIdError().has_value());
    EXPECT_FALSE(model->passwordError().has_value());
}

TEST_F(SettingsViewModelTest, ReadsTheAppleIdThenTheSessionOnceEach)
{
    keychain.store->setText(appleIdAccount, QByteArray("d\xC3\xA9v@example.com"));
    std::unique_ptr<SettingsViewModel> model;

    EXPECT_EQ(makeModel(model), std::string());

    EXPECT_EQ(model->appleId(), QStringLiteral("d\u00E9v@example.com"));
    EXPECT_EQ(keychain.store->asked(), (QStringList{appleIdAccount, cookieAccount}));
}

TEST_F(SettingsViewModelTest, UnreadableAppleIdIsReportedAndLeavesTheFieldAlone)
{
    keychain.store->setText(appleIdAccount, QByteArray("\xFF\xFE not text"));
    std::unique_ptr<SettingsViewModel> model;
    EXPECT_EQ(makeModel(model), noAppleIdLine);
    EXPECT_EQ(model->appleId(), QString());

    model->setAppleId(QStringLiteral("typed@example.com"));
    keychain.store->set(appleIdAccount, std::optional<QByteArray>());
    ::testing::internal::CaptureStdout();
    model->loadSavedAppleId();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), noAppleIdLine);
    EXPECT_EQ(model->appleId(), QStringLiteral("typed@example.com"));

    keychain.store->set(appleIdAccount,
                        std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable)));
    ::testing::internal::CaptureStdout();
    model->loadSavedAppleId();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), noAppleIdLine);
    EXPECT_EQ(model->appleId(), QStringLiteral("typed@example.com"));
}

TEST_F(SettingsViewModelTest, LoggedInFollowsTheSessionCookie)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> cookie; // absent: no item at all
        bool loggedIn;
    };
    const Case cases[] = {
        {"user id only", QByteArray("foo=1; searchads.userId=42; bar=2"), true},
        {"xsrf token only", QByteArray("XSRF-TOKEN-CM=abc"), true},
        {"both", QByteArray("XSRF-TOKEN-CM=abc; searchads.userId=42"), true},
        {"empty item", QByteArray(""), false},
        {"unrelated cookie", QByteArray("dslang=US-EN"), false},
        {"no item", std::nullopt, false},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        FakeKeychain fresh;
        if (entry.cookie)
            fresh.store->setText(cookieAccount, *entry.cookie);
        ::testing::internal::CaptureStdout();
        const SettingsViewModel model(fresh.manager);
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(model.isLoggedIn(), entry.loggedIn);
    }
}

TEST_F(SettingsViewModelTest, EveryPublishedFieldAnnouncesRealChangesOnly)
{
    std::unique_ptr<SettingsViewModel> model;
    makeModel(model);

    const QMetaObject& meta = *model->metaObject();
    int published = 0;
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
        ++published;
    }
    EXPECT_EQ(published, 5);

    QSignalSpy errorSpy(model.get(), &SettingsViewModel::errorChanged);
    QSignalSpy appleIdErrorSpy(model.get(), &SettingsViewModel::appleIdErrorChanged);
    QSignalSpy passwordErrorSpy(model.get(), &SettingsViewModel::passwordErrorChanged);
    model->setError(QStringLiteral("failed"));
    model->setError(QStringLiteral("failed"));
    model->setAppleIdError(QString());
    model->setPasswordError(std::nullopt);
    EXPECT_EQ(errorSpy.count(), 1);
    // An empty message is still a message, distinct from none.
    EXPECT_EQ(appleIdErrorSpy.count(), 1);
    EXPECT_EQ(model->appleIdError(), std::optional(QString()));
    EXPECT_EQ(passwordErrorSpy.count(), 0);
}

TEST(SettingsViewModelVersion, DeclaredApplicationVersionWinsOverTheBuilds)
{
    const QString before = QCoreApplication::applicationVersion();

    QCoreApplication::setApplicationVersion(QStringLiteral("2.3.4"));
    EXPECT_EQ(SettingsViewModel::appVersion(), QStringLiteral("2.3.4"));

    QCoreApplication::setApplicationVersion(QString());
    EXPECT_EQ(SettingsViewModel::appVersion(), QStringLiteral(TIVRAND_VERSION));
    EXPECT_FALSE(SettingsViewModel::appVersion().isEmpty());

    QCoreApplication::setApplicationVersion(before);
}
