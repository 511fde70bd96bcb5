#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "tests/support/DescriptorLimit.h"
#include "tests/support/KeepAliveServer.h"
#include "tests/support/OpenSockets.h"
#include "tests/support/RawSocketServer.h"

#include <atomic>
#include <filesystem>

namespace Lumen::Testing {
namespace {

using namespace std::chrono_literals;
using Tivrand::Testing::DescriptorLimit;
using Tivrand::Testing::KeepAliveServer;
using Tivrand::Testing::RawSocketServer;
using Tivrand::Testing::waitUntil;

const QByteArray icon = pngBytes();

KeepAliveServer::Handler answersTheIcon()
{
    return [body = std::make_shared<const std::string>(icon.toStdString())](const KeepAliveServer::Request&) {
        return KeepAliveServer::Response{"HTTP/1.1 200 OK\r\nContent-Type: image/png", body};
    };
}

TEST_F(DownloaderTest, TransfersThatCrawlGiveTheirConnectionsUpToWaitingOnesAndASteadySlowOneGoesOn)
{
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumConnections = 4;
    configuration.lowSpeedLimit = 1024;
    configuration.lowSpeedTime = 2;
    downloader->setSessionConfiguration(configuration);
    // Three transfers a byte every 300 ms, and one at 16 KiB a second that lasts well beyond the
    // time the others may crawl, take every connection.
    RawSocketServer crawling(RawSocketServer::trickle(1 << 20, 300ms));
    RawSocketServer steady(RawSocketServer::trickle(128 << 10, 64ms, 1024));
    const auto raw = optionsWith(std::make_shared<LivePhotoImageProcessor>());
    const auto crawlers = std::make_shared<Outcomes>();
    std::vector<std::shared_ptr<DownloadTask>> crawlingTasks;
    for (int i = 0; i < 3; ++i)
        crawlingTasks.push_back(
            downloader->downloadImage(crawling.url(QStringLiteral("/%1").arg(i)), raw, collectInto(crawlers)));
    const auto slow = std::make_shared<Outcomes>();
    downloader->downloadImage(steady.url(), raw, collectInto(slow));
    ASSERT_TRUE(waitUntil([&] { return crawling.requests() == 3 && steady.requests() == 1; }));

    const KeepAliveServer icons(1, answersTheIcon());
    for (int i = 0; i < 5; ++i)
        downloader->downloadImage(icons.url(0, QStringLiteral("/%1.png").arg(i)), optionsWith(), outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(5, 60s));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(errorCode(*outcomes.at(i)), 0) << i;
    ASSERT_TRUE(slow->waitFor(1, 60s));
    EXPECT_EQ(errorCode(*slow->at(0)), 0);
    // A crawler gave way for each load that found no other connection; those no load waited for
    // when they came to be judged run on until cancelled. Where the loads reach the session's
    // thread decides how many are judged while loads wait.
    for (const auto& task : crawlingTasks)
        task->cancel();
    ASSERT_TRUE(crawlers->waitFor(3, 60s));
    int gaveWay = 0;
    for (int i = 0; i < 3; ++i) {
        const auto result = *crawlers->at(i);
        if (!result && result.error().description().contains(QStringLiteral("gave its connection up"))) {
            EXPECT_EQ(sessionErrorCode(result), QNetworkReply::TimeoutError);
            ++gaveWay;
        } else {
            EXPECT_EQ(errorCode(result), 1003) << i;
        }
    }
    EXPECT_GE(gaveWay, 1);
}

rlim_t openDescriptors()
{
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return rlim_t(std::distance(begin(entries), end(entries)));
}

TEST_F(DownloaderTest, IconsAskedForHostByHostAllArriveWithinALowDescriptorLimit)
{
    constexpr int origins = 20;
    constexpr int icons = 600;
    KeepAliveServer servers(origins, answersTheIcon());
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumConnections = 16;
    downloader->setSessionConfiguration(configuration);
    // Both ends of each connection are descriptors of this process. Qt alone would keep six
    // connections open to every origin it has been to.
    const int margin = configuration.httpMaximumConnectionsPerHost;
    const DescriptorLimit limit(openDescriptors() + 2 * rlim_t(configuration.maximumConnections + margin) + 24);
    for (int i = 0; i < icons; ++i)
        downloader->downloadImage(servers.url(i * origins / icons, QStringLiteral("/%1.png").arg(i)), optionsWith(),
                                  outcomes.handler());
    const std::set<int> ports(servers.ports().begin(), servers.ports().end());
    bool arrived = false;
    const long peak = Tivrand::Testing::peakWhile([&] { return Tivrand::Testing::openSocketsTo(ports); },
                                                  [&] { arrived = outcomes.waitFor(icons, 120s); });
    ASSERT_TRUE(arrived);
    for (int i = 0; i < icons; ++i) {
        const auto result = *outcomes.at(i);
        EXPECT_EQ(errorCode(result), 0) << i << ": " << (result ? "" : result.error().description().toStdString());
    }
    EXPECT_LE(peak, configuration.maximumConnections + margin);
}

TEST_F(DownloaderTest, BodiesThatAnnounceMuchAndSendLittleHoldOnlyWhatTheySent)
{
    // Between them the two announce the session's whole budget for bodies.
    const qint64 announced = URLSessionConfiguration::ephemeral().maximumBufferedBodyBytes / 2;
    RawSocketServer trickling(RawSocketServer::trickle(announced, 100ms));
    const auto heard = std::make_shared<std::atomic<int>>(0);
    const auto announcers = std::make_shared<Outcomes>();
    std::vector<std::shared_ptr<DownloadTask>> announcing;
    for (int i = 0; i < 2; ++i) {
        announcing.push_back(downloader->downloadImage(
            trickling.url(QStringLiteral("/%1").arg(i)), std::nullopt,
            [heard, counted = std::make_shared<std::atomic<bool>>(false)](std::int64_t, std::int64_t) {
                *heard += counted->exchange(true) ? 0 : 1;
            },
            collectInto(announcers)));
    }
    ASSERT_TRUE(waitUntil([&] { return *heard == 2; }, 10s));
    const KeepAliveServer icons(1, answersTheIcon());
    for (int i = 0; i < 30; ++i)
        downloader->downloadImage(icons.url(0, QStringLiteral("/%1.png").arg(i)), optionsWith(), outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(30, 60s));
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(errorCode(*outcomes.at(i)), 0) << i;
    for (const auto& task : announcing)
        task->cancel();
    EXPECT_TRUE(announcers->waitFor(2));
}

} // namespace
} // namespace Lumen::Testing
