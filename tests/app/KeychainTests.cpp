#include "TivrandApp/services/KeychainManager.h"
#include "TivrandApp/services/KeychainReads.h"
#include "TivrandApp/services/LibsecretStore.h"
#include "TivrandApp/settings/SettingsViewModel.h"

#include "tests/app/FakeKeychain.h"
#include "tests/app/FakeSecretService.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <cstdlib>
#include <future>
#include <optional>
#include <thread>

using namespace Tivrand;
using namespace Tivrand::Testing;

namespace {

const FakeSecretStore::Answer serviceDown =
    std::unexpected(KeychainError::unexpectedStatus(KeychainStatus::serviceUnavailable, "no bus"));

// Runs secret-tool as a user would from a shell, so the lookup is known to find items that
// were not written with our own schema. Answers its exit code.
int secretTool(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess tool;
    tool.start("secret-tool", arguments);
    EXPECT_TRUE(tool.waitForStarted(10'000)) << tool.errorString().toStdString();
    tool.write(input);
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(30'000));
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

void store(const QString& account, const QByteArray& secret)
{
    ASSERT_EQ(secretTool({"store", "--label=Tivrand test", "account", account}, secret), 0);
}

// Runs a lookup in a fresh child process with its session bus address replaced, because
// glib keeps the first bus connection for the life of the process.
void expectLookupStatusWithBus(const std::string& busAddress, KeychainStatus expected, std::chrono::milliseconds timeout)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
            const auto secret = LibsecretStore(timeout).secret("Tivrand.AppleID", {});
            std::fprintf(stderr, "%s\n", secret ? "found" : qPrintable(secret.error().description()));
            std::exit(!secret && secret.error().status() == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace

TEST(KeychainSecretService, ReadsItemsStoredFromTheShellAndRefusesNonUtf8)
{
    if (!qEnvironmentVariableIsSet("TIVRAND_TEST_SECRET_SERVICE"))
        GTEST_SKIP() << "needs a Secret Service (run under scripts/with-test-keyring)";
    // Tests of one run share the keyring, so each uses accounts of its own.
    const QString account = "Tivrand.AppleID." + QUuid::createUuid().toString(QUuid::WithoutBraces);
    store(account, "d\xC3\xA9v@example.com");
    store(account + ".binary", "caf\xE9\xFF");
    const KeychainManager& keychain = KeychainManager::shared();
    EXPECT_EQ(keychain.retrieve(account).value_or("failed"), QStringLiteral("d\u00E9v@example.com"));
    EXPECT_EQ(LibsecretStore().secret(account + ".binary", {}).value_or(std::nullopt), QByteArray("caf\xE9\xFF"))
        << "not mangled";
    EXPECT_EQ(keychain.retrieve(account + ".binary").error().kind(), KeychainError::Kind::invalidItemFormat);

    // The only check that uses the real item name.
    secretTool({"clear", "account", "Tivrand.SearchAdsCookie"});
    EXPECT_FALSE(keychain.hasValidSearchAdsSession());
    store("Tivrand.SearchAdsCookie", "dslang=US-EN; searchads.userId=7");
    EXPECT_TRUE(keychain.hasValidSearchAdsSession());
}

TEST(KeychainSecretServiceBus, NoBusIsUnavailableAndASilentBusTimesOutInsteadOfHanging)
{
    QTemporaryDir folder;
    // Accepts connections but never speaks: the bus handshake would wait forever.
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(folder.filePath("silent-bus")));
    expectLookupStatusWithBus("unix:path=" + folder.filePath("no-bus").toStdString(), KeychainStatus::serviceUnavailable,
                              LibsecretStore::defaultTimeout);
    expectLookupStatusWithBus("unix:path=" + silent.fullServerName().toStdString(), KeychainStatus::timedOut,
                              std::chrono::milliseconds(300));
}

TEST(KeychainSecretServiceDeadline, AUserSlowAtTheUnlockPromptDoesNotTimeOut)
{
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a session bus (run under dbus-run-session)";
    using namespace std::chrono_literals;
    using Secret = std::expected<std::optional<QByteArray>, KeychainError>;
    const QString account = "Tivrand.AppleID";
    const auto ended = [](const std::future<Secret>& lookup) { return lookup.wait_for(0s) == std::future_status::ready; };

    for (const bool unlock : {true, false}) {
        SCOPED_TRACE(unlock ? "unlocked slowly" : "dismissed");
        // The user always takes three times the service's timeout. A machine too busy to let the
        // service reach the prompt, or answer after it, within that timeout says nothing about the
        // prompt: such a run is tried again with twice the timeout.
        constexpr std::chrono::milliseconds longestTimeout = 3200ms;
        std::optional<Secret> secret;
        for (std::chrono::milliseconds timeout = 200ms; !secret && timeout <= longestTimeout; timeout *= 2) {
            FakeSecretService service(account, "slow@example.com");
            ASSERT_FALSE(service.busName().isEmpty());
            const ScopedEnvironmentVariable busName("SECRET_SERVICE_BUS_NAME", service.busName());
            std::future<Secret> lookup = std::async(std::launch::async, [&account, timeout] {
                return LibsecretStore(timeout).secret(account, {});
            });
            const auto reachesPrompt = [&] {
                while (!ended(lookup)) {
                    if (service.waitForPrompt(10ms))
                        return true;
                }
                return service.waitForPrompt(0ms);
            };
            if (!reachesPrompt()) {
                const Secret early = lookup.get();
                EXPECT_TRUE(!early && early.error().status() == KeychainStatus::timedOut) << "ended before the prompt";
                continue;
            }
            std::this_thread::sleep_for(timeout * 3);
            ASSERT_FALSE(ended(lookup)) << "gave up while the user was at the prompt";
            service.answerPrompt(unlock);
            Secret answer = lookup.get();
            if (answer || answer.error().status() != KeychainStatus::timedOut)
                secret = std::move(answer);
        }
        ASSERT_TRUE(secret.has_value()) << "the service never answered within " << longestTimeout.count() << " ms";
        if (unlock)
            EXPECT_EQ(secret->value_or(std::nullopt), QByteArray("slow@example.com"));
        else
            EXPECT_FALSE(secret->has_value());
    }
}

TEST(KeychainSecretServiceQuit, QuittingWhileReadsWaitAtTheUnlockPromptCancelsAndEndsThemWithNoCallback)
{
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a session bus (run under dbus-run-session)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FakeSecretService service(appleIdAccount, "slow@example.com");
            const ScopedEnvironmentVariable busName("SECRET_SERVICE_BUS_NAME", service.busName());
            const auto read = KeychainManager::shared().retrieveAsync(appleIdAccount);
            // A settings window closed while its read waits: nothing may call back into it.
            auto gone = std::make_unique<SettingsViewModel>(KeychainManager::shared());
            const bool prompted = service.waitForPrompt();
            gone.reset();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            QApplication::exec();
            const bool cancelled = read.isFinished() && !read.result()
                && read.result().error().status() == KeychainStatus::cancelled;
            const bool refusedLater = KeychainManager::shared().retrieveAsync(appleIdAccount).isFinished();
            std::exit(prompted && cancelled && refusedLater && KeychainReads::shared().running() == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(KeychainManager, RetrieveDecodesUtf8TextRefusesItemsWithoutDataOrWithInvalidUtf8AndReportsStoreFailures)
{
    FakeKeychain keychain;
    keychain.store->setText(appleIdAccount, QByteArray("d\xC3\xA9v@example.com \xE2\x82\xAC"));
    keychain.store->set("down", serviceDown);
    EXPECT_EQ(keychain.manager.retrieve(appleIdAccount).value_or("failed"),
              QStringLiteral("d\u00E9v@example.com \u20AC"));
    const auto down = keychain.manager.retrieve("down");
    ASSERT_FALSE(down.has_value());
    EXPECT_EQ(down.error().status(), KeychainStatus::serviceUnavailable);
    EXPECT_TRUE(down.error().description().contains("no bus"));

    const KeychainManager withoutStore(nullptr);
    EXPECT_EQ(withoutStore.retrieve(appleIdAccount).error().status(), KeychainStatus::serviceUnavailable);
    EXPECT_FALSE(withoutStore.hasValidSearchAdsSession());

    // An item without data or with invalid UTF-8 is of an invalid format.
    for (const FakeSecretStore::Answer& item :
         {FakeSecretStore::Answer(std::optional<QByteArray>()), FakeSecretStore::Answer(QByteArray("caf\xE9")),
          FakeSecretStore::Answer(QByteArray("euro \xE2\x82")), FakeSecretStore::Answer(QByteArray("\xC0\xAF")),
          FakeSecretStore::Answer(QByteArray("\xED\xA0\x80"))}) {
        SCOPED_TRACE(item->value_or("no data").toHex().toStdString());
        keychain.store->set(appleIdAccount, item);
        const auto value = keychain.manager.retrieve(appleIdAccount);
        ASSERT_FALSE(value.has_value());
        EXPECT_EQ(value.error().kind(), KeychainError::Kind::invalidItemFormat);
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
