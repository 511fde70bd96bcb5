#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

using Testing::opaqueHandle;
using Tivrand::Testing::solidImage;

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

// Every value item goes through the parser and lands in its own field.
TEST(LumenParsedOptionsInfo, ValueItemsSetTheirOwnFields)
{
    const auto target = opaqueHandle<ImageCache>();
    const auto original = opaqueHandle<ImageCache>();
    const auto downloader = opaqueHandle<ImageDownloader>();
    const auto requestModifier = opaqueHandle<const AsyncImageDownloadRequestModifier>();
    const auto redirectHandler = opaqueHandle<const ImageDownloadRedirectHandler>();
    const auto serializer = std::make_shared<const DefaultCacheSerializer>();
    const auto imageModifier = opaqueHandle<const ImageModifier>();
    const auto failureImage = Image::makeEmpty();
    const auto progressive = opaqueHandle<const ImageProgressive>();
    const auto retryStrategy = opaqueHandle<const RetryStrategy>();
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.options"));
    const auto never = ExpirationExtending::expirationTime(StorageExpiration::never());
    const P parsed(LumenOptionsInfo{
        Option::TargetCache{target},
        Option::OriginalCache{original},
        Option::Downloader{downloader},
        Option::Transition{ImageTransition::fade(0.25)},
        Option::DownloadPriority{0.75f},
        Option::CallbackQueue{CallbackQueue::untouch()},
        Option::ScaleFactor{2.0},
        Option::RequestModifier{requestModifier},
        Option::RedirectHandler{redirectHandler},
        Option::Processor{std::make_shared<const NamedProcessor>()},
        Option::CacheSerializer{serializer},
        Option::ImageModifier{imageModifier},
        Option::OnFailureImage{failureImage},
        Option::DiskStoreWriteOptions{DataWritingOption::atomic},
        Option::MemoryCacheExpiration{StorageExpiration::seconds(10)},
        Option::MemoryCacheAccessExtendingExpiration{ExpirationExtending::none()},
        Option::DiskCacheExpiration{StorageExpiration::days(3)},
        Option::DiskCacheAccessExtendingExpiration{never},
        Option::ProcessingQueue{CallbackQueue::dispatch(*queue)},
        Option::ProgressiveJPEG{progressive},
        Option::AlternativeSources{{sourceNamed("alt1"), sourceNamed("alt2")}},
        Option::RetryStrategy{retryStrategy},
        Option::LowDataMode{sourceNamed("low")},
        Option::ForcedCacheFileExtension{QStringLiteral("heic")},
    });
    EXPECT_EQ(parsed.targetCache, target);
    EXPECT_EQ(parsed.originalCache, original);
    EXPECT_EQ(parsed.downloader, downloader);
    EXPECT_EQ(parsed.transition, ImageTransition::fade(0.25));
    EXPECT_EQ(parsed.downloadPriority, 0.75f);
    EXPECT_EQ(parsed.callbackQueue, CallbackQueue::untouch());
    EXPECT_EQ(parsed.scaleFactor, 2.0);
    EXPECT_EQ(parsed.requestModifier, requestModifier);
    EXPECT_EQ(parsed.redirectHandler, redirectHandler);
    EXPECT_EQ(parsed.processor->identifier(), QStringLiteral("test.NamedProcessor"));
    EXPECT_EQ(parsed.cacheSerializer, serializer);
    EXPECT_EQ(parsed.imageModifier, imageModifier);
    EXPECT_EQ(parsed.onFailureImage, std::optional(failureImage));
    EXPECT_EQ(parsed.diskStoreWriteOptions, DataWritingOptions(DataWritingOption::atomic));
    EXPECT_EQ(parsed.memoryCacheExpiration, StorageExpiration::seconds(10));
    EXPECT_EQ(parsed.memoryCacheAccessExtendingExpiration, ExpirationExtending::none());
    EXPECT_EQ(parsed.diskCacheExpiration, StorageExpiration::days(3));
    EXPECT_EQ(parsed.diskCacheAccessExtendingExpiration, never);
    EXPECT_EQ(parsed.processingQueue, CallbackQueue::dispatch(*queue));
    EXPECT_EQ(parsed.progressiveJPEG, progressive);
    EXPECT_EQ(parsed.alternativeSources, (std::vector<Source>{sourceNamed("alt1"), sourceNamed("alt2")}));
    EXPECT_EQ(parsed.retryStrategy, retryStrategy);
    EXPECT_EQ(parsed.lowDataModeSource, sourceNamed("low"));
    EXPECT_EQ(parsed.forcedExtension, QStringLiteral("heic"));
}

TEST(LumenParsedOptionsInfo, EachFlagItemSetsOnlyItsOwnFlag)
{
    for (const auto& [item, flag] : flagItems) {
        const P parsed(LumenOptionsInfo{item});
        for (const auto& [otherItem, other] : flagItems)
            EXPECT_EQ(parsed.*other, other == flag) << "item #" << item.index() << ", flag of #" << otherItem.index();
    }
}

TEST(LumenParsedOptionsInfo, TheLastItemOfAKindWinsButNullObjectsKeepTheDefault)
{
    const auto a = opaqueHandle<ImageCache>();
    const auto b = opaqueHandle<ImageCache>();
    EXPECT_EQ(P(LumenOptionsInfo{Option::OriginalCache{b}, Option::TargetCache{a}}).originalCache, b);
    // The original cache falls back to the target cache after the walk, so it sees the last one.
    EXPECT_EQ(P(LumenOptionsInfo{Option::TargetCache{a}, Option::TargetCache{b}}).originalCache, b);
    EXPECT_FALSE(P(LumenOptionsInfo{Option::LowDataMode{sourceNamed("low")}, Option::LowDataMode{std::nullopt}})
                     .lowDataModeSource.has_value());
    EXPECT_EQ(P(LumenOptionsInfo{Option::ScaleFactor{2.0}, Option::ScaleFactor{3.0}, Option::OnlyLoadFirstFrame{}}).imageCreatingOptions(),
              (ImageCreatingOptions{.scale = 3.0, .duration = 0.0, .preloadAll = false, .onlyFirstFrame = true}));

    const P nulls(LumenOptionsInfo{Option::Processor{nullptr}, Option::CacheSerializer{nullptr}});
    EXPECT_EQ(nulls.processor, DefaultImageProcessor::shared());
    EXPECT_EQ(nulls.cacheSerializer, DefaultCacheSerializer::shared());
    // A null failure image is a choice of its own, apart from none.
    EXPECT_EQ(P(LumenOptionsInfo{Option::OnFailureImage{nullptr}}).onFailureImage, std::optional<ImagePtr>(nullptr));
}

TEST(DefaultImageProcessor, RescalesImagesWithoutCopyingPixelsAndDecodesData)
{
    const auto& processor = *DefaultImageProcessor::shared();
    const auto image = solidImage(QSize(8, 6), Qt::red);
    const P doubledScale(LumenOptionsInfo{Option::ScaleFactor{2.0}});
    const auto doubled = processor.process({image}, doubledScale);
    EXPECT_EQ(doubled->scale(), 2.0);
    EXPECT_EQ(doubled->bitmap().cacheKey(), image->bitmap().cacheKey());
    const auto empty = Image::makeEmpty();
    EXPECT_EQ(processor.process({empty}, doubledScale), empty);
    EXPECT_EQ(processor.process({ImagePtr()}, doubledScale), nullptr);

    const QByteArray png = Tivrand::Testing::encodedBitmap(image->bitmap(), "png");
    EXPECT_EQ(processor.process({png}, P())->pixelSize(), QSize(8, 6));
    EXPECT_EQ(processor.process({QByteArray("not an image at all")}, P()), nullptr);
    EXPECT_TRUE(ImageProcessItem{empty}.description().startsWith(QStringLiteral("image(<Lumen::Image: 0x")));

    const auto& serializer = *DefaultCacheSerializer::shared();
    EXPECT_FALSE(serializer.data(empty, std::nullopt).has_value());
    EXPECT_FALSE(serializer.data(nullptr, png).has_value());
    EXPECT_EQ(serializer.image(QByteArray("garbage"), P()), nullptr);
}

} // namespace
} // namespace Lumen
