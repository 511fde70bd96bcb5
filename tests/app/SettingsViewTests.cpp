#include "TivrandApp/settings/SettingsAccountPane.h"
#include "TivrandApp/settings/SettingsSidebar.h"
#include "TivrandApp/settings/SettingsSidebarRow.h"
#include "TivrandApp/settings/SettingsView.h"
#include "TivrandApp/settings/SettingsViewModel.h"
#include "TivrandApp/settings/SettingsWindow.h"
#include "TivrandApp/settings/SymbolView.h"

#include "tests/app/FakeKeychain.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>

#include <string>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

QString shownText(const QLabel& label)
{
    if (label.textFormat() != Qt::RichText)
        return label.text();
    QTextDocument document;
    document.setHtml(label.text());
    return document.toPlainText();
}

QStringList shownTexts(const QWidget& root)
{
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>())
        texts.append(shownText(*label));
    for (const QAbstractButton* button : root.findChildren<QAbstractButton*>())
        texts.append(button->text());
    return texts;
}

struct SettingsViewTest : ::testing::Test {
    FakeKeychain keychain;
    std::unique_ptr<SettingsView> view;

    void SetUp() override
    {
        m_versionBefore = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
        view = std::make_unique<SettingsView>(SettingsView::SettingsTab::account, keychain.manager);
    }

    void TearDown() override
    {
        view.reset();
        QCoreApplication::setApplicationVersion(m_versionBefore);
    }

    SettingsAccountPane& accountPane() const { return dynamic_cast<SettingsAccountPane&>(view->currentPane()); }

    void showAt(QSize size)
    {
        view->resize(size);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        pumpEvents(std::chrono::milliseconds(20));
    }

private:
    QString m_versionBefore;
};

} // namespace

TEST_F(SettingsViewTest, ShowsEveryTextOfTheAccountSection)
{
    const QStringList texts = shownTexts(*view);

    for (const QString& expected : {QStringLiteral("Account"), QStringLiteral("Account Settings"),
                                    QStringLiteral("App Store Connect"), QStringLiteral("Privacy Information"),
                                    SettingsAccountPane::privacyStatement, QStringLiteral("v1.2.3")})
        EXPECT_TRUE(texts.contains(expected)) << expected.toStdString();
    EXPECT_EQ(SettingsAccountPane::privacyStatement,
              QStringLiteral("Your App Store Connect credentials are stored securely in your Mac's Keychain. "
                             "Tivrand does not collect, transmit, or store these credentials on any remote servers. "
                             "All authentication and API requests are made directly from your device."));

    QStringList symbols;
    for (const SymbolView* symbol : view->findChildren<SymbolView*>())
        symbols.append(symbol->symbolName());
    EXPECT_EQ(symbols, (QStringList{QStringLiteral("apple.logo"), QStringLiteral("lock.shield.fill")}));
}

TEST_F(SettingsViewTest, FooterIsTheVersionAfterAV)
{
    EXPECT_EQ(accountPane().versionLabel().text(), QStringLiteral("v1.2.3"));

    // The footer takes the version when the view is made.
    QCoreApplication::setApplicationVersion(QString());
    const SettingsView withBuildVersion(SettingsView::SettingsTab::account, keychain.manager);
    const auto& pane = dynamic_cast<SettingsAccountPane&>(withBuildVersion.currentPane());
    EXPECT_EQ(pane.versionLabel().text(), QStringLiteral("v" TIVRAND_VERSION));
}

TEST_F(SettingsViewTest, ReadsTheKeychainOnceWhenFirstShown)
{
    EXPECT_FALSE(view->hasViewModel());
    EXPECT_TRUE(keychain.store->asked().isEmpty());

    ::testing::internal::CaptureStdout();
    showAt(SettingsView::preferredSize);
    view->hide();
    view->show();
    pumpEvents(std::chrono::milliseconds(20));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("No saved Apple ID found\n"));

    ASSERT_TRUE(view->hasViewModel());
    EXPECT_EQ(keychain.store->asked(), (QStringList{appleIdAccount, cookieAccount}));
    EXPECT_EQ(&view->viewModel(), &view->viewModel());
}

TEST_F(SettingsViewTest, ViewModelSeesTheLoggedInSession)
{
    keychain.store->setText(appleIdAccount, QByteArray("dev@example.com"));
    keychain.store->setText(cookieAccount, QByteArray("searchads.userId=7"));

    EXPECT_EQ(view->viewModel().appleId(), QStringLiteral("dev@example.com"));
    EXPECT_TRUE(view->viewModel().isLoggedIn());
}

TEST_F(SettingsViewTest, TheOnlySectionStaysSelectedInTheAccentColour)
{
    showAt(SettingsView::preferredSize);
    ASSERT_EQ(view->sidebar().rows().size(), 1);
    SettingsSidebarRow& row = *view->sidebar().rows().front();

    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(&row, Qt::LeftButton);
        EXPECT_TRUE(row.isChecked());
        EXPECT_EQ(view->selectedTab(), SettingsTab::account);
        EXPECT_EQ(row.iconColour(), row.palette().color(QPalette::Highlight));
        EXPECT_EQ(row.textColour(), row.palette().color(QPalette::WindowText));
        EXPECT_EQ(row.textColour().alpha(), 255);
    }
    EXPECT_EQ(rawValue(row.tab()), QStringLiteral("Account"));
    EXPECT_EQ(view->sidebar().width(), 180);
}

TEST_F(SettingsViewTest, StatementWrapsInsteadOfBeingCut)
{
    showAt(QSize(500, 400));
    const QLabel& statement = accountPane().privacyStatementLabel();
    const int lineHeight = statement.fontMetrics().height();

    EXPECT_GT(statement.height(), 2 * lineHeight);
    EXPECT_GE(statement.height(), statement.heightForWidth(statement.width()));
    EXPECT_LE(statement.geometry().right(), statement.parentWidget()->contentsRect().right());
}

TEST_F(SettingsViewTest, PaneScrollsOnlyWhenTheContentIsTallerThanTheWindow)
{
    showAt(QSize(800, 600));
    const QScrollBar& bar = *accountPane().scrollArea().verticalScrollBar();
    EXPECT_EQ(bar.maximum(), 0);

    view->resize(420, 200);
    ASSERT_TRUE(waitUntil([&] { return bar.maximum() > 0; }));
    const QWidget& column = *accountPane().scrollArea().widget();
    EXPECT_GE(column.height(), column.heightForWidth(column.width()));
    EXPECT_TRUE(column.findChildren<QLabel*>().contains(&accountPane().versionLabel()));
}

TEST_F(SettingsViewTest, SecondaryTextFollowsAPaletteSetLater)
{
    const QColor text(0x10, 0x80, 0xf0);
    const QPalette before = QApplication::palette();
    QPalette changed = before;
    changed.setColor(QPalette::WindowText, text);
    const auto secondaryOf = [](const QLabel& label) { return label.palette().color(QPalette::WindowText); };

    // The application delivers palette changes through the event loop.
    QApplication::setPalette(changed);
    EXPECT_TRUE(waitUntil([&] { return secondaryOf(accountPane().versionLabel()).rgb() == text.rgb(); }));
    const QColor secondary = secondaryOf(accountPane().versionLabel());
    const QColor statement = secondaryOf(accountPane().privacyStatementLabel());
    QApplication::setPalette(before);

    EXPECT_LT(secondary.alpha(), 255);
    EXPECT_GT(secondary.alpha(), 0);
    EXPECT_EQ(statement, secondary);
}

TEST(SettingsWindow, IsMadeOnceAndKeepsTheProgramsMinimumSize)
{
    QWidget owner;
    ::testing::internal::CaptureStdout();
    showSettingsWindow(&owner);
    showSettingsWindow(&owner);
    ::testing::internal::GetCapturedStdout();

    const auto views = owner.findChildren<SettingsView*>();
    ASSERT_EQ(views.size(), 1);
    QWidget& window = *views.front()->window();
    EXPECT_NE(&window, &owner);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.minimumSize(), QSize(800, 600));
    EXPECT_GE(window.width(), 800);
    EXPECT_EQ(views.front()->selectedTab(), SettingsTab::account);

    window.close();
    showSettingsWindow(&owner);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(owner.findChildren<SettingsView*>().size(), 1);
}

TEST(SettingsWindow, IsMadeAgainAfterItsOwnerIsGone)
{
    ::testing::internal::CaptureStdout();
    {
        QWidget first;
        showSettingsWindow(&first);
    }
    QWidget second;
    showSettingsWindow(&second);
    ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(second.findChildren<SettingsView*>().size(), 1);
}
