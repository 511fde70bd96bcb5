#include "TivrandApp/settings/SettingsAccountPane.h"
#include "TivrandApp/settings/SettingsSidebar.h"
#include "TivrandApp/settings/SettingsSidebarRow.h"
#include "TivrandApp/settings/SettingsView.h"
#include "TivrandApp/settings/SettingsViewModel.h"
#include "TivrandApp/settings/SettingsWindow.h"
#include "TivrandApp/settings/SymbolView.h"

#include "tests/app/FakeKeychain.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextDocument>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

QStringList shownTexts(const QWidget& root)
{
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>()) {
        QTextDocument document;
        document.setHtml(label->text());
        texts.append(label->textFormat() == Qt::RichText ? document.toPlainText() : label->text());
    }
    for (const QAbstractButton* button : root.findChildren<QAbstractButton*>())
        texts.append(button->text());
    return texts;
}

struct SettingsViewTest : ::testing::Test {
    const QString versionBefore = QCoreApplication::applicationVersion();
    FakeKeychain keychain;
    std::unique_ptr<SettingsView> view;

    void SetUp() override
    {
        QCoreApplication::setApplicationVersion("1.2.3");
        view = std::make_unique<SettingsView>(SettingsView::SettingsTab::account, keychain.manager);
    }

    void TearDown() override
    {
        view.reset();
        QCoreApplication::setApplicationVersion(versionBefore);
    }

    SettingsAccountPane& accountPane() const { return dynamic_cast<SettingsAccountPane&>(view->currentPane()); }
};

} // namespace

TEST_F(SettingsViewTest, ShowsTheAccountSectionWithTheVersionOfWhenItWasMade)
{
    const QStringList texts = shownTexts(*view);
    for (const QString& expected : {QStringLiteral("Account Settings"), QStringLiteral("App Store Connect"),
                                    QStringLiteral("Privacy Information"), SettingsAccountPane::privacyStatement,
                                    QStringLiteral("v1.2.3")})
        EXPECT_TRUE(texts.contains(expected)) << expected.toStdString();
    QStringList symbols;
    for (const SymbolView* symbol : view->findChildren<SymbolView*>())
        symbols.append(symbol->symbolName());
    EXPECT_EQ(symbols, QStringList({"apple.logo", "lock.shield.fill"}));

    // Without a declared version the build's shows; a view made earlier keeps its own.
    QCoreApplication::setApplicationVersion(QString());
    const SettingsView withBuildVersion(SettingsView::SettingsTab::account, keychain.manager);
    EXPECT_EQ(dynamic_cast<SettingsAccountPane&>(withBuildVersion.currentPane()).versionLabel().text(),
              "v" TIVRAND_VERSION);
    EXPECT_EQ(accountPane().versionLabel().text(), "v1.2.3");
}

TEST_F(SettingsViewTest, ReadsTheKeychainOnceWhenFirstShownAndKeepsItsOnlySectionSelected)
{
    EXPECT_FALSE(view->hasViewModel());
    const CapturedOutput output;
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->hide();
    view->show();
    ASSERT_TRUE(view->hasViewModel());
    EXPECT_TRUE(waitUntil([&] { return !view->viewModel().isLoading(); }));
    EXPECT_EQ(output.text(), "No saved Apple ID found\n");
    EXPECT_EQ(keychain.store->asked(), (QStringList{appleIdAccount, cookieAccount}));

    ASSERT_EQ(view->sidebar().rows().size(), 1);
    SettingsSidebarRow& row = *view->sidebar().rows().front();
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(&row, Qt::LeftButton);
        EXPECT_TRUE(row.isChecked());
        EXPECT_EQ(view->selectedTab(), SettingsTab::account);
    }
}

TEST(SettingsWindow, IsMadeOncePerOwnerAndKeepsTheProgramsMinimumSize)
{
    ::testing::internal::CaptureStdout();
    {
        QWidget gone;
        showSettingsWindow(&gone);
    }
    QWidget owner;
    showSettingsWindow(&owner);
    showSettingsWindow(&owner);
    const auto views = owner.findChildren<SettingsView*>();
    ASSERT_EQ(views.size(), 1) << "made again after its first owner is gone, then reused";
    QWidget& window = *views.front()->window();
    EXPECT_NE(&window, &owner);
    EXPECT_EQ(window.minimumSize(), QSize(800, 600));

    window.close();
    showSettingsWindow(&owner);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(owner.findChildren<SettingsView*>().size(), 1);
    // The real keyring's reads end before the test does.
    EXPECT_TRUE(waitUntil([&] { return !views.front()->viewModel().isLoading(); }, std::chrono::seconds(40)));
    ::testing::internal::GetCapturedStdout();
}
