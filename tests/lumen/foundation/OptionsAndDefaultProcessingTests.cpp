#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <functional>

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
    const auto never = ExpirationExtending::expirationTime(StorageExpiration::never());
    const std::pair<LumenOptionsInfoItem, std::function<bool(const P&)>> items[] = {
        {Option::TargetCache{target}, [&](const P& o) { return o.targetCache == target; }},
        {Option::OriginalCache{original}, [&](const P& o) { return o.originalCache == original; }},
        {Option::Downloader{downloader}, [&](const P& o) { return o.downloader == downloader; }},
        {Option::Transition{ImageTransition::fade(0.25)}, [](const P& o) { return o.transition == ImageTransition::fade(0.25); }},
        {Option::DownloadPriority{0.75f}, [](const P& o) { return o.downloadPriority == 0.75f; }},
        {Option::CallbackQueue{CallbackQueue::untouch()}, [](const P& o) { return o.callbackQueue == CallbackQueue::untouch(); }},
        {Option::ScaleFactor{2.0}, [](const P& o) { return o.scaleFactor == 2.0; }},
        {Option::RequestModifier{requestModifier}, [&](const P& o) { return o.requestModifier == requestModifier; }},
        {Option::RedirectHandler{redirectHandler}, [&](const P& o) { return o.redirectHandler == redirectHandler; }},
        {Option::Processor{processor}, [&](const P& o) { return o.processor == processor; }},
        {Option::CacheSerializer{serializer}, [&](const P& o) { return o.cacheSerializer == serializer; }},
        {Option::ImageModifier{imageModifier}, [&](const P& o) { return o.imageModifier == imageModifier; }},
        {Option::OnFailureImage{failureImage}, [&](const P& o) { return o.onFailureImage == std::optional(failureImage); }},
        {Option::DiskStoreWriteOptions{DataWritingOption::atomic},
         [](const P& o) { return o.diskStoreWriteOptions == DataWritingOptions(DataWritingOption::atomic); }},
        {Option::MemoryCacheExpiration{StorageExpiration::seconds(10)},
         [](const P& o) { return o.memoryCacheExpiration == StorageExpiration::seconds(10); }},
        {Option::MemoryCacheAccessExtendingExpiration{ExpirationExtending::none()},
         [](const P& o) { return o.memoryCacheAccessExtendingExpiration == ExpirationExtending::none(); }},
        {Option::DiskCacheExpiration{StorageExpiration::days(3)},
         [](const P& o) { return o.diskCacheExpiration == StorageExpiration::days(3); }},
        {Option::DiskCacheAccessExtendingExpiration{never}, [&](const P& o) { return o.diskCacheAccessExtendingExpiration == never; }},
        {Option::ProcessingQueue{CallbackQueue::dispatch(*queue)},
         [&](const P& o) { return o.processingQueue && o.processingQueue->queue() == queue; }},
        {Option::ProgressiveJPEG{progressive}, [&](const P& o) { return o.progressiveJPEG == progressive; }},
        {Option::AlternativeSources{{sourceNamed("alt1"), sourceNamed("alt2")}},
         [](const P& o) { return o.alternativeSources && o.alternativeSources->at(1).cacheKey() == QStringLiteral("alt2"); }},
        {Option::RetryStrategy{retryStrategy}, [&](const P& o) { return o.retryStrategy == retryStrategy; }},
        {Option::LowDataMode{sourceNamed("low")},
         [](const P& o) { return o.lowDataModeSource && o.lowDataModeSource->cacheKey() == QStringLiteral("low"); }},
        {Option::ForcedCacheFileExtension{QStringLiteral("heic")}, [](const P& o) { return o.forcedExtension == QStringLiteral("heic"); }},
    };
    LumenOptionsInfo all;
    for (const auto& [item, holds] : items)
        all.push_back(item);
    const P parsed(all);
    for (const auto& [item, holds] : items)
        EXPECT_TRUE(holds(parsed)) << "item #" << item.index();
    // Memory and disk extending rules are separate fields.
    EXPECT_EQ(P(LumenOptionsInfo{Option::DiskCacheAccessExtendingExpiration{never}}).memoryCacheAccessExtendingExpiration,
              ExpirationExtending::cacheTime());
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

    const auto& serializer = *DefaultCacheSerializer::shared();
    EXPECT_FALSE(serializer.data(empty, std::nullopt).has_value());
    EXPECT_FALSE(serializer.data(nullptr, png).has_value());
    EXPECT_EQ(serializer.image(QByteArray("garbage"), P()), nullptr);
}

} // namespace
} // namespace Lumen
