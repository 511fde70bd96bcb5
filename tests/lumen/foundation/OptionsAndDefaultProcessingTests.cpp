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

// Every value item goes through the parser; the checks pick the fields it converts or could mix up.
TEST(LumenParsedOptionsInfo, ValueItemsSetTheirOwnFields)
{
    const auto target = opaqueHandle<ImageCache>();
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.options"));
    const auto never = ExpirationExtending::expirationTime(StorageExpiration::never());
    const P parsed(LumenOptionsInfo{
        Option::TargetCache{target},
        Option::OriginalCache{opaqueHandle<ImageCache>()},
        Option::Downloader{opaqueHandle<ImageDownloader>()},
        Option::Transition{ImageTransition::fade(0.25)},
        Option::DownloadPriority{0.75f},
        Option::CallbackQueue{CallbackQueue::untouch()},
        Option::ScaleFactor{2.0},
        Option::RequestModifier{opaqueHandle<const AsyncImageDownloadRequestModifier>()},
        Option::RedirectHandler{opaqueHandle<const ImageDownloadRedirectHandler>()},
        Option::Processor{std::make_shared<const NamedProcessor>()},
        Option::CacheSerializer{std::make_shared<const DefaultCacheSerializer>()},
        Option::ImageModifier{opaqueHandle<const ImageModifier>()},
        Option::OnFailureImage{Image::makeEmpty()},
        Option::DiskStoreWriteOptions{DataWritingOption::atomic},
        Option::MemoryCacheExpiration{StorageExpiration::seconds(10)},
        Option::MemoryCacheAccessExtendingExpiration{ExpirationExtending::none()},
        Option::DiskCacheExpiration{StorageExpiration::days(3)},
        Option::DiskCacheAccessExtendingExpiration{never},
        Option::ProcessingQueue{CallbackQueue::dispatch(*queue)},
        Option::ProgressiveJPEG{opaqueHandle<const ImageProgressive>()},
        Option::AlternativeSources{{sourceNamed("alt1"), sourceNamed("alt2")}},
        Option::RetryStrategy{opaqueHandle<const RetryStrategy>()},
        Option::LowDataMode{sourceNamed("low")},
        Option::ForcedCacheFileExtension{QStringLiteral("heic")},
    });
    EXPECT_EQ(parsed.targetCache, target);
    EXPECT_EQ(parsed.processor->identifier(), QStringLiteral("test.NamedProcessor"));
    EXPECT_EQ(parsed.forcedExtension, QStringLiteral("heic"));
    // Memory and disk extending rules are separate fields.
    EXPECT_EQ(parsed.memoryCacheAccessExtendingExpiration, ExpirationExtending::none());
    EXPECT_EQ(parsed.diskCacheAccessExtendingExpiration, never);
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
