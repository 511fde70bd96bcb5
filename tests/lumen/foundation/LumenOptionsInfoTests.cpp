#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "tests/lumen/foundation/OpaqueHandle.h"

#include <gtest/gtest.h>

#include <cmath>

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
    return Source::network({QString::fromLatin1(key), QUrl(QStringLiteral("https://img.example.com/") + key)});
}

void expectDefaults(const LumenParsedOptionsInfo& o)
{
    EXPECT_EQ(o.targetCache, nullptr);
    EXPECT_EQ(o.originalCache, nullptr);
    EXPECT_EQ(o.downloader, nullptr);
    EXPECT_EQ(o.transition, ImageTransition::none());
    EXPECT_EQ(o.downloadPriority, 0.5f);
    EXPECT_FALSE(o.forceRefresh || o.fromMemoryCacheOrRefresh || o.forceTransition || o.cacheMemoryOnly
                 || o.waitForCache || o.onlyFromCache || o.backgroundDecode || o.preloadAllAnimationData
                 || o.keepCurrentImageWhileLoading || o.onlyLoadFirstFrame || o.cacheOriginalImage
                 || o.alsoPrefetchToMemory || o.loadDiskFileSynchronously);
    EXPECT_EQ(o.callbackQueue, CallbackQueue::mainCurrentOrAsync());
    EXPECT_EQ(o.scaleFactor, 1.0);
    EXPECT_EQ(o.requestModifier, nullptr);
    EXPECT_EQ(o.redirectHandler, nullptr);
    ASSERT_NE(o.processor, nullptr);
    EXPECT_EQ(o.processor, DefaultImageProcessor::shared());
    EXPECT_EQ(o.processor->identifier(), QString());
    EXPECT_EQ(o.imageModifier, nullptr);
    ASSERT_EQ(o.cacheSerializer, DefaultCacheSerializer::shared());
    EXPECT_EQ(DefaultCacheSerializer::shared()->compressionQuality, 1.0);
    EXPECT_FALSE(DefaultCacheSerializer::shared()->preferCacheOriginalData);
    EXPECT_FALSE(o.onFailureImage.has_value());
    EXPECT_FALSE(o.diskStoreWriteOptions);
    EXPECT_FALSE(o.memoryCacheExpiration.has_value());
    EXPECT_EQ(o.memoryCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
    EXPECT_FALSE(o.diskCacheExpiration.has_value());
    EXPECT_EQ(o.diskCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
    EXPECT_FALSE(o.processingQueue.has_value());
    EXPECT_EQ(o.progressiveJPEG, nullptr);
    EXPECT_FALSE(o.alternativeSources.has_value());
    EXPECT_EQ(o.retryStrategy, nullptr);
    EXPECT_FALSE(o.lowDataModeSource.has_value());
    EXPECT_FALSE(o.forcedExtension.has_value());
    EXPECT_FALSE(o.onDataReceived.has_value());
}

TEST(LumenParsedOptionsInfo, AbsentAndEmptyListsGiveTheDefaults)
{
    expectDefaults(LumenParsedOptionsInfo());
    expectDefaults(LumenParsedOptionsInfo(std::nullopt));
    expectDefaults(LumenParsedOptionsInfo(LumenOptionsInfo{}));
    expectDefaults(LumenParsedOptionsInfo(emptyOptionsInfo()));
}

TEST(LumenParsedOptionsInfo, TheSharedEmptyListIsOneEmptyList)
{
    EXPECT_TRUE(emptyOptionsInfo().empty());
    EXPECT_EQ(&emptyOptionsInfo(), &emptyOptionsInfo());
}

TEST(LumenParsedOptionsInfo, EveryValueItemSetsItsOwnField)
{
    const auto target = opaqueHandle<ImageCache>();
    const auto original = opaqueHandle<ImageCache>();
    const auto downloader = opaqueHandle<ImageDownloader>();
    const auto requestModifier = opaqueHandle<const AsyncImageDownloadRequestModifier>();
    const auto redirectHandler = opaqueHandle<const ImageDownloadRedirectHandler>();
    const auto processor = std::make_shared<const NamedProcessor>();
    auto serializerValue = DefaultCacheSerializer();
    serializerValue.compressionQuality = 0.5;
    const auto serializer = std::make_shared<const DefaultCacheSerializer>(serializerValue);
    const auto imageModifier = opaqueHandle<const ImageModifier>();
    const auto failureImage = Image::make(QImage(1, 1, QImage::Format_ARGB32));
    const auto progressive = opaqueHandle<const ImageProgressive>();
    const auto retryStrategy = opaqueHandle<const RetryStrategy>();
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.options"));

    const LumenParsedOptionsInfo o(LumenOptionsInfo{
        Option::TargetCache{target},
        Option::OriginalCache{original},
        Option::Downloader{downloader},
        Option::Transition{ImageTransition::fade(0.25)},
        Option::DownloadPriority{0.75f},
        Option::CallbackQueue{CallbackQueue::untouch()},
        Option::ScaleFactor{2.0},
        Option::RequestModifier{requestModifier},
        Option::RedirectHandler{redirectHandler},
        Option::Processor{processor},
        Option::CacheSerializer{serializer},
        Option::ImageModifier{imageModifier},
        Option::OnFailureImage{failureImage},
        Option::DiskStoreWriteOptions{DataWritingOption::atomic},
        Option::MemoryCacheExpiration{StorageExpiration::seconds(10)},
        Option::MemoryCacheAccessExtendingExpiration{ExpirationExtending::none()},
        Option::DiskCacheExpiration{StorageExpiration::days(3)},
        Option::DiskCacheAccessExtendingExpiration{ExpirationExtending::expirationTime(StorageExpiration::never())},
        Option::ProcessingQueue{CallbackQueue::dispatch(*queue)},
        Option::ProgressiveJPEG{progressive},
        Option::AlternativeSources{{sourceNamed("alt1"), sourceNamed("alt2")}},
        Option::RetryStrategy{retryStrategy},
        Option::LowDataMode{sourceNamed("low")},
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
    ASSERT_TRUE(o.onFailureImage.has_value());
    EXPECT_EQ(*o.onFailureImage, failureImage);
    EXPECT_EQ(o.diskStoreWriteOptions, DataWritingOptions(DataWritingOption::atomic));
    EXPECT_EQ(o.memoryCacheExpiration, StorageExpiration::seconds(10));
    EXPECT_EQ(o.memoryCacheAccessExtendingExpiration, ExpirationExtending::none());
    EXPECT_EQ(o.diskCacheExpiration, StorageExpiration::days(3));
    EXPECT_EQ(o.diskCacheAccessExtendingExpiration, ExpirationExtending::expirationTime(StorageExpiration::never()));
    ASSERT_TRUE(o.processingQueue.has_value());
    EXPECT_EQ(o.processingQueue->queue(), queue);
    EXPECT_EQ(o.progressiveJPEG, progressive);
    ASSERT_TRUE(o.alternativeSources.has_value());
    ASSERT_EQ(o.alternativeSources->size(), 2u);
    EXPECT_EQ(o.alternativeSources->at(0).cacheKey(), QStringLiteral("alt1"));
    EXPECT_EQ(o.alternativeSources->at(1).cacheKey(), QStringLiteral("alt2"));
    EXPECT_EQ(o.retryStrategy, retryStrategy);
    ASSERT_TRUE(o.lowDataModeSource.has_value());
    EXPECT_EQ(o.lowDataModeSource->cacheKey(), QStringLiteral("low"));
    EXPECT_EQ(o.forcedExtension, QStringLiteral("heic"));
    EXPECT_FALSE(o.onDataReceived.has_value());
}

TEST(LumenParsedOptionsInfo, EachFlagItemSetsOnlyItsOwnFlag)
{
    using Flag = bool LumenParsedOptionsInfo::*;
    const std::pair<LumenOptionsInfoItem, Flag> table[] = {
        {Option::ForceRefresh{}, &LumenParsedOptionsInfo::forceRefresh},
        {Option::FromMemoryCacheOrRefresh{}, &LumenParsedOptionsInfo::fromMemoryCacheOrRefresh},
        {Option::ForceTransition{}, &LumenParsedOptionsInfo::forceTransition},
        {Option::CacheMemoryOnly{}, &LumenParsedOptionsInfo::cacheMemoryOnly},
        {Option::WaitForCache{}, &LumenParsedOptionsInfo::waitForCache},
        {Option::OnlyFromCache{}, &LumenParsedOptionsInfo::onlyFromCache},
        {Option::BackgroundDecode{}, &LumenParsedOptionsInfo::backgroundDecode},
        {Option::PreloadAllAnimationData{}, &LumenParsedOptionsInfo::preloadAllAnimationData},
        {Option::KeepCurrentImageWhileLoading{}, &LumenParsedOptionsInfo::keepCurrentImageWhileLoading},
        {Option::OnlyLoadFirstFrame{}, &LumenParsedOptionsInfo::onlyLoadFirstFrame},
        {Option::CacheOriginalImage{}, &LumenParsedOptionsInfo::cacheOriginalImage},
        {Option::AlsoPrefetchToMemory{}, &LumenParsedOptionsInfo::alsoPrefetchToMemory},
        {Option::LoadDiskFileSynchronously{}, &LumenParsedOptionsInfo::loadDiskFileSynchronously},
    };
    for (const auto& [item, flag] : table) {
        const LumenParsedOptionsInfo parsed(LumenOptionsInfo{item});
        for (const auto& [otherItem, other] : table)
            EXPECT_EQ(parsed.*other, other == flag) << "item #" << item.index() << ", flag of #" << otherItem.index();
    }
}

TEST(LumenParsedOptionsInfo, OriginalCacheFallsBackToTheFinalTargetCache)
{
    const auto a = opaqueHandle<ImageCache>();
    const auto b = opaqueHandle<ImageCache>();

    const LumenParsedOptionsInfo targetOnly(LumenOptionsInfo{Option::TargetCache{a}});
    EXPECT_EQ(targetOnly.targetCache, a);
    EXPECT_EQ(targetOnly.originalCache, a);

    const LumenParsedOptionsInfo both(LumenOptionsInfo{Option::OriginalCache{b}, Option::TargetCache{a}});
    EXPECT_EQ(both.originalCache, b);

    // The fallback happens after the walk, so it sees the last target cache.
    const LumenParsedOptionsInfo retargeted(LumenOptionsInfo{Option::TargetCache{a}, Option::TargetCache{b}});
    EXPECT_EQ(retargeted.originalCache, b);
}

TEST(LumenParsedOptionsInfo, TheLastItemOfAKindWins)
{
    const LumenParsedOptionsInfo scaled(LumenOptionsInfo{Option::ScaleFactor{2.0}, Option::ScaleFactor{3.0}});
    EXPECT_EQ(scaled.scaleFactor, 3.0);

    const LumenParsedOptionsInfo lowDataCleared(
        LumenOptionsInfo{Option::LowDataMode{sourceNamed("low")}, Option::LowDataMode{std::nullopt}});
    EXPECT_FALSE(lowDataCleared.lowDataModeSource.has_value());

    const LumenParsedOptionsInfo twice(LumenOptionsInfo{Option::ForceRefresh{}, Option::ForceRefresh{}});
    EXPECT_TRUE(twice.forceRefresh);
}

TEST(LumenParsedOptionsInfo, OnFailureImageKeepsThreeStates)
{
    EXPECT_FALSE(LumenParsedOptionsInfo(emptyOptionsInfo()).onFailureImage.has_value());

    const LumenParsedOptionsInfo noImage(LumenOptionsInfo{Option::OnFailureImage{nullptr}});
    ASSERT_TRUE(noImage.onFailureImage.has_value());
    EXPECT_EQ(*noImage.onFailureImage, nullptr);

    const auto image = Image::makeEmpty();
    const LumenParsedOptionsInfo withImage(LumenOptionsInfo{Option::OnFailureImage{image}});
    ASSERT_TRUE(withImage.onFailureImage.has_value());
    EXPECT_EQ(*withImage.onFailureImage, image);
}

TEST(LumenParsedOptionsInfo, MemoryAndDiskExpirationFieldsAreIndependent)
{
    const LumenParsedOptionsInfo o(LumenOptionsInfo{Option::MemoryCacheAccessExtendingExpiration{ExpirationExtending::none()}});
    EXPECT_EQ(o.memoryCacheAccessExtendingExpiration, ExpirationExtending::none());
    EXPECT_EQ(o.diskCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
}

TEST(LumenParsedOptionsInfo, NullProcessorOrSerializerKeepsTheDefault)
{
    const LumenParsedOptionsInfo o(LumenOptionsInfo{Option::Processor{nullptr}, Option::CacheSerializer{nullptr}});
    EXPECT_EQ(o.processor, DefaultImageProcessor::shared());
    EXPECT_EQ(o.cacheSerializer, DefaultCacheSerializer::shared());
}

TEST(LumenParsedOptionsInfo, CopiesAreIndependentButShareTheirObjects)
{
    const auto cache = opaqueHandle<ImageCache>();
    const LumenParsedOptionsInfo original(LumenOptionsInfo{Option::TargetCache{cache}});

    LumenParsedOptionsInfo copy = original;
    copy.scaleFactor = 2.0;
    copy.onDataReceived.emplace().push_back(ImageLoadingProgressSideEffect::make({}));

    EXPECT_EQ(original.scaleFactor, 1.0);
    EXPECT_FALSE(original.onDataReceived.has_value());
    EXPECT_EQ(copy.targetCache, original.targetCache);
}

TEST(LumenParsedOptionsInfo, DecodingOptionsFollowTheRecord)
{
    const LumenParsedOptionsInfo o(LumenOptionsInfo{Option::ScaleFactor{3.0}, Option::OnlyLoadFirstFrame{}});
    const ImageCreatingOptions expected{.scale = 3.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = true};
    EXPECT_EQ(o.imageCreatingOptions(), expected);
}

} // namespace
} // namespace Lumen
