#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "tests/lumen/foundation/FoundationTesting.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

using Testing::opaqueHandle;

class NamedProcessor final : public ImageProcessor {
public:
    QString identifier() const override { return QStringLiteral("test.NamedProcessor"); }
    ImagePtr process(const ImageProcessItem&, const LumenParsedOptionsInfo&) const override { return nullptr; }
};

Source sourceNamed(const char* key)
{
    return Source::network(LM::ImageResource(QUrl(QStringLiteral("https://img.example.com/") + key), QString::fromLatin1(key)));
}

using P = LumenParsedOptionsInfo;
const std::pair<LumenOptionsInfoItem, bool P::*> flagItems[] = {
    {Option::ForceRefresh{}, &P::forceRefresh},
    {Option::FromMemoryCacheOrRefresh{}, &P::fromMemoryCacheOrRefresh},
    {Option::ForceTransition{}, &P::forceTransition},
    {Option::CacheMemoryOnly{}, &P::cacheMemoryOnly},
    {Option::WaitForCache{}, &P::waitForCache},
    {Option::OnlyFromCache{}, &P::onlyFromCache},
    {Option::BackgroundDecode{}, &P::backgroundDecode},
    {Option::PreloadAllAnimationData{}, &P::preloadAllAnimationData},
    {Option::KeepCurrentImageWhileLoading{}, &P::keepCurrentImageWhileLoading},
    {Option::OnlyLoadFirstFrame{}, &P::onlyLoadFirstFrame},
    {Option::CacheOriginalImage{}, &P::cacheOriginalImage},
    {Option::AlsoPrefetchToMemory{}, &P::alsoPrefetchToMemory},
    {Option::LoadDiskFileSynchronously{}, &P::loadDiskFileSynchronously},
};

TEST(LumenParsedOptionsInfo, AbsentAndEmptyListsGiveTheDefaults)
{
    EXPECT_EQ(&emptyOptionsInfo(), &emptyOptionsInfo());
    for (const P& o : {P(), P(std::nullopt), P(emptyOptionsInfo())}) {
        EXPECT_TRUE(!o.targetCache && !o.originalCache && !o.downloader && !o.requestModifier && !o.redirectHandler
                    && !o.imageModifier && !o.progressiveJPEG && !o.retryStrategy && !o.diskStoreWriteOptions);
        for (const auto& [item, flag] : flagItems)
            EXPECT_FALSE(o.*flag) << item.index();
        EXPECT_EQ(o.transition, ImageTransition::none());
        EXPECT_EQ(o.downloadPriority, 0.5f);
        EXPECT_EQ(o.callbackQueue, CallbackQueue::mainCurrentOrAsync());
        EXPECT_EQ(o.scaleFactor, 1.0);
        EXPECT_EQ(o.processor, DefaultImageProcessor::shared());
        EXPECT_EQ(o.cacheSerializer, DefaultCacheSerializer::shared());
        EXPECT_EQ(o.memoryCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
        EXPECT_EQ(o.diskCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
        EXPECT_FALSE(o.onFailureImage || o.memoryCacheExpiration || o.diskCacheExpiration || o.processingQueue
                     || o.alternativeSources || o.lowDataModeSource || o.forcedExtension || o.onDataReceived);
    }
}

TEST(LumenParsedOptionsInfo, EveryValueItemSetsItsOwnField)
{
    const auto target = opaqueHandle<ImageCache>();
    const auto original = opaqueHandle<ImageCache>();
    const auto downloader = opaqueHandle<ImageDownloader>();
    const auto requestModifier = opaqueHandle<const AsyncImageDownloadRequestModifier>();
    const auto redirectHandler = opaqueHandle<const ImageDownloadRedirectHandler>();
    const auto processor = std::make_shared<const NamedProcessor>();
    const auto serializer = std::make_shared<const DefaultCacheSerializer>();
    const auto imageModifier = opaqueHandle<const ImageModifier>();
    const auto failureImage = Image::make(QImage(1, 1, QImage::Format_ARGB32));
    const auto progressive = opaqueHandle<const ImageProgressive>();
    const auto retryStrategy = opaqueHandle<const RetryStrategy>();
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.options"));
    const P o(LumenOptionsInfo{
        Option::TargetCache{target}, Option::OriginalCache{original}, Option::Downloader{downloader},
        Option::Transition{ImageTransition::fade(0.25)}, Option::DownloadPriority{0.75f},
        Option::CallbackQueue{CallbackQueue::untouch()}, Option::ScaleFactor{2.0},
        Option::RequestModifier{requestModifier}, Option::RedirectHandler{redirectHandler},
        Option::Processor{processor}, Option::CacheSerializer{serializer}, Option::ImageModifier{imageModifier},
        Option::OnFailureImage{failureImage}, Option::DiskStoreWriteOptions{DataWritingOption::atomic},
        Option::MemoryCacheExpiration{StorageExpiration::seconds(10)},
        Option::MemoryCacheAccessExtendingExpiration{ExpirationExtending::none()},
        Option::DiskCacheExpiration{StorageExpiration::days(3)},
        Option::ProcessingQueue{CallbackQueue::dispatch(*queue)}, Option::ProgressiveJPEG{progressive},
        Option::AlternativeSources{{sourceNamed("alt1"), sourceNamed("alt2")}},
        Option::RetryStrategy{retryStrategy}, Option::LowDataMode{sourceNamed("low")},
        Option::ForcedCacheFileExtension{QStringLiteral("heic")},
    });
    EXPECT_EQ(o.targetCache, target);
    EXPECT_EQ(o.originalCache, original);
    EXPECT_EQ(o.downloader, downloader);
    EXPECT_EQ(o.transition, ImageTransition::fade(0.25));
    EXPECT_EQ(o.downloadPriority, 0.75f);
    EXPECT_EQ(o.callbackQueue, CallbackQueue::untouch());
    EXPECT_EQ(o.scaleFactor, 2.0);
    EXPECT_EQ(o.requestModifier, requestModifier);
    EXPECT_EQ(o.redirectHandler, redirectHandler);
    EXPECT_EQ(o.processor, processor);
    EXPECT_EQ(o.cacheSerializer, serializer);
    EXPECT_EQ(o.imageModifier, imageModifier);
    EXPECT_EQ(o.onFailureImage, std::optional<ImagePtr>(failureImage));
    EXPECT_EQ(o.diskStoreWriteOptions, DataWritingOptions(DataWritingOption::atomic));
    EXPECT_EQ(o.memoryCacheExpiration, StorageExpiration::seconds(10));
    EXPECT_EQ(o.memoryCacheAccessExtendingExpiration, ExpirationExtending::none());
    EXPECT_EQ(o.diskCacheExpiration, StorageExpiration::days(3));
    // Memory and disk extending rules are separate fields.
    EXPECT_EQ(o.diskCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
    ASSERT_TRUE(o.processingQueue.has_value());
    EXPECT_EQ(o.processingQueue->queue(), queue);
    EXPECT_EQ(o.progressiveJPEG, progressive);
    ASSERT_EQ(o.alternativeSources.value_or(std::vector<Source>{}).size(), 2u);
    EXPECT_EQ(o.alternativeSources->at(1).cacheKey(), QStringLiteral("alt2"));
    EXPECT_EQ(o.retryStrategy, retryStrategy);
    ASSERT_TRUE(o.lowDataModeSource.has_value());
    EXPECT_EQ(o.lowDataModeSource->cacheKey(), QStringLiteral("low"));
    EXPECT_EQ(o.forcedExtension, QStringLiteral("heic"));
    const P disk(LumenOptionsInfo{
        Option::DiskCacheAccessExtendingExpiration{ExpirationExtending::expirationTime(StorageExpiration::never())}});
    EXPECT_EQ(disk.diskCacheAccessExtendingExpiration, ExpirationExtending::expirationTime(StorageExpiration::never()));
    EXPECT_EQ(disk.memoryCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
}

TEST(LumenParsedOptionsInfo, EachFlagItemSetsOnlyItsOwnFlag)
{
    for (const auto& [item, flag] : flagItems) {
        const P parsed(LumenOptionsInfo{item});
        for (const auto& [otherItem, other] : flagItems)
            EXPECT_EQ(parsed.*other, other == flag) << "item #" << item.index() << ", flag of #" << otherItem.index();
    }
}

TEST(LumenParsedOptionsInfo, OriginalCacheFallsBackToTheFinalTargetCache)
{
    const auto a = opaqueHandle<ImageCache>();
    const auto b = opaqueHandle<ImageCache>();
    EXPECT_EQ(P(LumenOptionsInfo{Option::TargetCache{a}}).originalCache, a);
    EXPECT_EQ(P(LumenOptionsInfo{Option::OriginalCache{b}, Option::TargetCache{a}}).originalCache, b);
    // The fallback happens after the walk, so it sees the last target cache.
    EXPECT_EQ(P(LumenOptionsInfo{Option::TargetCache{a}, Option::TargetCache{b}}).originalCache, b);
}

TEST(LumenParsedOptionsInfo, TheLastItemOfAKindWinsButNullObjectsKeepTheDefault)
{
    EXPECT_EQ(P(LumenOptionsInfo{Option::ScaleFactor{2.0}, Option::ScaleFactor{3.0}}).scaleFactor, 3.0);
    EXPECT_FALSE(P(LumenOptionsInfo{Option::LowDataMode{sourceNamed("low")}, Option::LowDataMode{std::nullopt}})
                     .lowDataModeSource.has_value());
    EXPECT_TRUE(P(LumenOptionsInfo{Option::ForceRefresh{}, Option::ForceRefresh{}}).forceRefresh);

    const P nulls(LumenOptionsInfo{Option::Processor{nullptr}, Option::CacheSerializer{nullptr}});
    EXPECT_EQ(nulls.processor, DefaultImageProcessor::shared());
    EXPECT_EQ(nulls.cacheSerializer, DefaultCacheSerializer::shared());
}

TEST(LumenParsedOptionsInfo, OnFailureImageKeepsThreeStates)
{
    EXPECT_FALSE(P(emptyOptionsInfo()).onFailureImage.has_value());
    EXPECT_EQ(P(LumenOptionsInfo{Option::OnFailureImage{nullptr}}).onFailureImage, std::optional<ImagePtr>(nullptr));
    const auto image = Image::makeEmpty();
    EXPECT_EQ(P(LumenOptionsInfo{Option::OnFailureImage{image}}).onFailureImage, std::optional<ImagePtr>(image));
}

TEST(LumenParsedOptionsInfo, DecodingOptionsFollowTheRecord)
{
    const P o(LumenOptionsInfo{Option::ScaleFactor{3.0}, Option::OnlyLoadFirstFrame{}});
    const ImageCreatingOptions expected{.scale = 3.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = true};
    EXPECT_EQ(o.imageCreatingOptions(), expected);
}

} // namespace
} // namespace Lumen
