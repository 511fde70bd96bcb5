#include "TivrandApp/services/KeychainManager.h"
#include "TivrandApp/services/LibsecretStore.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

using namespace Tivrand;

namespace {

bool secretServiceAvailable()
{
    return qEnvironmentVariableIsSet("TIVRAND_TEST_SECRET_SERVICE");
}

// Stores an item the way a user would from a shell, so the lookup is known to find items
// that were not written with our own schema.
void storeWithSecretTool(const QString& account, const QByteArray& secret)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("store"), QStringLiteral("--label=Tivrand test"), QStringLiteral("account"), account});
    ASSERT_TRUE(tool.waitForStarted(10'000)) << tool.errorString().toStdString();
    tool.write(secret);
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished(30'000));
    ASSERT_EQ(tool.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
}

// The shared manager is made over the real Secret Service; tests use it as the app does.
KeychainManager& keychain()
{
    return KeychainManager::shared();
}

// Tests of one run share the keyring, so each uses accounts of its own.
QString uniqueAccount(const QString& name)
{
    return name + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void clearWithSecretTool(const QString& account)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {QStringLiteral("clear"), QStringLiteral("account"), account});
    ASSERT_TRUE(tool.waitForFinished(30'000));
}

// Runs a lookup in a fresh child process with its session bus address replaced, because
// glib keeps the first bus connection for the life of the process.
void expectLookupStatusWithBus(const std::string& busAddress, KeychainStatus expected,
                               std::chrono::milliseconds timeout)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
            const auto secret = LibsecretStore(timeout).secret(QStringLiteral("Tivrand.AppleID"));
            const bool matches = !secret && secret.error().status() == expected;
            std::fprintf(stderr, "%s\n", secret ? "found" : qPrintable(secret.error().description()));
            std::exit(matches ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace

TEST(KeychainSecretService, ReadsTextItemsStoredFromTheShell)
{
    if (!secretServiceAvailable())
        GTEST_SKIP() << "needs a Secret Service (run under scripts/with-test-keyring)";
    const QString account = uniqueAccount(QStringLiteral("Tivrand.AppleID"));
    storeWithSecretTool(account, QByteArray("d\xC3\xA9v@example.com"));

    const auto value = keychain().retrieve(account);

    ASSERT_TRUE(value.has_value()) << value.error().description().toStdString();
    EXPECT_EQ(*value, QStringLiteral("d\u00E9v@example.com"));
}

TEST(KeychainSecretService, MissingItemIsNotFound)
{
    if (!secretServiceAvailable())
        GTEST_SKIP() << "needs a Secret Service (run under scripts/with-test-keyring)";
    const QString account = uniqueAccount(QStringLiteral("Tivrand.AppleID"));
    storeWithSecretTool(account + QStringLiteral(".other"), QByteArray("x"));

    const auto value = keychain().retrieve(account);

    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error().kind(), KeychainError::Kind::unexpectedStatus);
    EXPECT_EQ(value.error().status(), KeychainStatus::itemNotFound);
}

TEST(KeychainSecretService, NonUtf8ItemIsInvalidFormatNotMangled)
{
    if (!secretServiceAvailable())
        GTEST_SKIP() << "needs a Secret Service (run under scripts/with-test-keyring)";
    const QString account = uniqueAccount(QStringLiteral("Tivrand.AppleID"));
    storeWithSecretTool(account, QByteArray("caf\xE9\xFF"));

    const auto bytes = LibsecretStore().secret(account);
    ASSERT_TRUE(bytes.has_value()) << bytes.error().description().toStdString();
    EXPECT_EQ(bytes->value_or(QByteArray()), QByteArray("caf\xE9\xFF"));

    const auto value = keychain().retrieve(account);
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error().kind(), KeychainError::Kind::invalidItemFormat);
}

TEST(KeychainSecretService, SearchAdsSessionFromTheStoredCookie)
{
    if (!secretServiceAvailable())
        GTEST_SKIP() << "needs a Secret Service (run under scripts/with-test-keyring)";
    // The only test that uses the real item name.
    clearWithSecretTool(QStringLiteral("Tivrand.SearchAdsCookie"));
    EXPECT_FALSE(keychain().hasValidSearchAdsSession());

    storeWithSecretTool(QStringLiteral("Tivrand.SearchAdsCookie"), QByteArray(""));
    EXPECT_FALSE(keychain().hasValidSearchAdsSession());

    storeWithSecretTool(QStringLiteral("Tivrand.SearchAdsCookie"), QByteArray("dslang=US-EN; searchads.userId=7"));
    EXPECT_TRUE(keychain().hasValidSearchAdsSession());
}

TEST(KeychainSecretService, NoSessionBusIsUnexpectedStatus)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string address = "unix:path=" + folder.filePath(QStringLiteral("no-bus")).toStdString();
    expectLookupStatusWithBus(address, KeychainStatus::serviceUnavailable, LibsecretStore::defaultTimeout);
}

TEST(KeychainSecretService, SilentBusTimesOutInsteadOfHanging)
{
    // A socket that accepts connections but never speaks: the bus handshake waits forever.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.filePath(QStringLiteral("silent-bus")).toStdString();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    expectLookupStatusWithBus("unix:path=" + path, KeychainStatus::timedOut, std::chrono::milliseconds(300));
    ::close(listener);
}
