#include "TivrandApp/settings/SettingsAccountPane.h"
#include "TivrandApp/settings/SettingsSidebar.h"
#include "TivrandApp/settings/SettingsSidebarRow.h"
#include "TivrandApp/settings/SettingsView.h"
#include "TivrandApp/settings/SettingsViewModel.h"

#include "tests/app/FakeKeychain.h"
#include "tests/app/FocusChain.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

const QString noAppleIdLine = "No saved Apple ID found\n";

bool finishesLoading(const SettingsViewModel& model)
{
    return waitUntil([&] { return !model.isLoading(); });
}

SettingsAccountPane& accountPane(const SettingsView& view)
{
    return dynamic_cast<SettingsAccountPane&>(view.currentPane());
}

} // namespace

TEST(SettingsView, ShowsThePrivacyStatementAsTextAndTheVersionOfWhenItWasMade)
{
    const QString versionBefore = QCoreApplication::applicationVersion();
    FakeKeychain keychain;
    QCoreApplication::setApplicationVersion("1.2.3");
    const SettingsView declared(SettingsView::SettingsTab::account, keychain.manager);
    // Without a declared version "v" stands alone; a view made earlier keeps its own.
    QCoreApplication::setApplicationVersion(QString());
    const SettingsView undeclared(SettingsView::SettingsTab::account, keychain.manager);
    QCoreApplication::setApplicationVersion(versionBefore);
    EXPECT_EQ(accountPane(undeclared).versionLabel().text(), "v");
    EXPECT_EQ(accountPane(declared).versionLabel().text(), "v1.2.3");

    QTextDocument privacy;
    privacy.setHtml(accountPane(declared).privacyStatementLabel().text());
    EXPECT_EQ(privacy.toPlainText(), SettingsAccountPane::privacyStatement);
}

TEST(SettingsView, ReadsTheKeychainOnceWhenFirstShownAndKeepsItsOnlySectionSelected)
{
    FakeKeychain keychain;
    SettingsView view(SettingsView::SettingsTab::account, keychain.manager);
    EXPECT_FALSE(view.hasViewModel());
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    // Its only control is its row: nothing else takes the focus unseen.
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(tabStops(), QList<QWidget*>{view.sidebar().rows().front()});
    view.hide();
    view.show();
    EXPECT_TRUE(finishesLoading(view.viewModel()));
    EXPECT_EQ(keychain.store->asked(), (QStringList{appleIdAccount, cookieAccount}));

    SettingsSidebarRow& row = *view.sidebar().rows().front();
    QTest::mouseClick(&row, Qt::LeftButton);
    QTest::mouseClick(&row, Qt::LeftButton);
    EXPECT_TRUE(row.isChecked());
}

TEST(SettingsViewModel, ReadsTheAppleIdThenTheSessionOnceEachWithoutHoldingUpTheWindow)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, "d\xC3\xA9v@example.com");
    keychain.store->setText(cookieAccount, "foo=1; searchads.userId=42");
    keychain.store->hold(); // the keyring waits for the user to unlock it
    const CapturedOutput output;
    SettingsViewModel model(keychain.manager);
    EXPECT_TRUE(model.isLoading()) << "made without waiting for the keyring";
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
