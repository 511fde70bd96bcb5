#include "Lumen/views/LMOptionSetter.h"

#include "Lumen/cache/FormatIndicatedCacheSerializer.h"
#include "Lumen/download/AsyncImageDownloadRequestModifier.h"
#include "Lumen/download/ImageDownloadRedirectHandler.h"
#include "Lumen/download/ImageModifier.h"
#include "Lumen/foundation/ImageProcessor.h"

#include <gtest/gtest.h>

#include <QColor>

#include <functional>

using namespace Lumen;

namespace {

// The smallest adopter: options and hooks held as plain fields.
class OptionHolder : public LMOptionSetter<OptionHolder> {
public:
    LumenParsedOptionsInfo options() const { return m_options; }
    void setOptions(LumenParsedOptionsInfo options) { m_options = std::move(options); }
    LMFailureDelegate& onFailureDelegate() const { return *m_onFailure; }
    LMSuccessDelegate& onSuccessDelegate() const { return *m_onSuccess; }
    LMProgressDelegate& onProgressDelegate() const { return *m_onProgress; }

private:
    LumenParsedOptionsInfo m_options;
    std::shared_ptr<LMFailureDelegate> m_onFailure = LMFailureDelegate::make();
    std::shared_ptr<LMSuccessDelegate> m_onSuccess = LMSuccessDelegate::make();
    std::shared_ptr<LMProgressDelegate> m_onProgress = LMProgressDelegate::make();
};

const QString blur2 = "com.vantrel.Lumen.BlurImageProcessor(2.0)";
const QString downsampling40 = "com.vantrel.Lumen.DownsamplingImageProcessor((40.0, 40.0))";

TEST(LMOptionSetter, ProcessorSettersComposeIdentifiersInCallOrder)
{
    const auto blur = [](double radius) { return std::make_shared<const BlurImageProcessor>(radius); };
    const struct { const char* name; std::function<void(OptionHolder&)> apply; QString identifier; } cases[] = {
        {"no processors", [](OptionHolder& h) { h.blur(2).setProcessors({}); }, ""},
        {"three processors", [&](OptionHolder& h) { h.setProcessors({blur(2), blur(3), blur(2)}); },
         blur2 + "|>com.vantrel.Lumen.BlurImageProcessor(3.0)|>" + blur2},
        {"downsampling after blur", [](OptionHolder& h) { h.blur(2).downsampling({40, 40}); },
         "|>" + blur2 + "|>" + downsampling40},
        {"set replaces", [&](OptionHolder& h) { h.blackWhite().setProcessor(blur(2)); }, blur2},
        {"append behind set", [&](OptionHolder& h) { h.setProcessor(blur(2)).appendProcessor(blur(2)); },
         blur2 + "|>" + blur2},
        {"the conveniences", [](OptionHolder& h) {
             h.setProcessors({}).tint(Qt::red).overlay(Qt::red, 0.5).cropping({1, 1}).resizing({1, 1}).roundCorner(
                 Radius::point(2));
         },
         "|>com.vantrel.Lumen.TintImageProcessor((1.00,0.00,0.00,1.00))"
         "|>com.vantrel.Lumen.OverlayImageProcessor((1.00,0.00,0.00,1.00)_0.5)"
         "|>com.vantrel.Lumen.CroppingImageProcessor((1.0, 1.0)_(0.5, 0.5))"
         "|>com.vantrel.Lumen.ResizingImageProcessor((1.0, 1.0))"
         "|>com.vantrel.Lumen.RoundCornerImageProcessor(2.0)"},
    };
    for (const auto& test : cases) {
        OptionHolder holder;
        test.apply(holder);
        EXPECT_EQ(holder.options().processor->identifier(), test.identifier) << test.name;
    }
}

TEST(LMOptionSetter, SettersBuildWhatTheyWrap)
{
    const auto image = Image::make(QImage(2, 2, QImage::Format_ARGB32_Premultiplied));
    const auto other = Image::make(QImage(3, 3, QImage::Format_ARGB32_Premultiplied));
    const URLRequest request(QUrl("http://127.0.0.1/a.png"));
    OptionHolder holder;
    holder.forceRefresh().onlyFromCache().cacheMemoryOnly(false).serialize(ImageFormat::JPEG, 0.4);
    holder.onFailureImage(nullptr).serialize(ImageFormat::unknown).retry(3, DelayRetryStrategy::Interval::seconds(1));
    holder.requestModifier([](URLRequest& changed) { changed.setValue("1", "X-Test"); });
    // Changes the first image and fails on the one it made.
    holder.imageModifier([&](ImagePtr& changed) -> std::expected<void, QString> {
        const bool fails = changed == other;
        changed = fails ? nullptr : other;
        return fails ? std::unexpected(QString("no")) : std::expected<void, QString>();
    });
    holder.redirectHandler([](LM::RedirectPayload payload) {
        payload.newRequest.url.setPath("/moved.png");
        payload.completionHandler(payload.newRequest);
    });
    const LumenParsedOptionsInfo options = holder.options();
    EXPECT_TRUE(options.onFailureImage.has_value() && *options.onFailureImage == nullptr) << "none is not unset";
    const auto png = std::dynamic_pointer_cast<const FormatIndicatedCacheSerializer>(options.cacheSerializer);
    EXPECT_TRUE(png && png->imageFormat == ImageFormat::PNG) << "unknown is written as PNG";
    const auto changed = options.requestModifier->modified(request).result();
    EXPECT_TRUE(changed && changed->valueForHTTPHeaderField("X-Test") == "1");
    EXPECT_EQ(options.imageModifier->modify(image), other);
    EXPECT_EQ(options.imageModifier->modify(other), other) << "a failing change keeps the image";
    const auto redirected = options.redirectHandler->handleHTTPRedirection(nullptr, URLResponse{}, request).result();
    EXPECT_TRUE(redirected && redirected->url == QUrl("http://127.0.0.1/moved.png"));
}

TEST(LMOptionSetter, ARegistrationReplacesTheBlockBeforeAndAnEmptyOneStillCounts)
{
    OptionHolder holder;
    QStringList heard;
    holder.onFailure([&](const LumenError&) { heard.append("first"); })
        .onFailure([&](const LumenError&) { heard.append("second"); });
    holder.onFailureDelegate().call(LumenError::RequestErrorReason::EmptyRequest{});
    EXPECT_EQ(heard, QStringList({"second"}));

    holder.onProgress({});
    EXPECT_TRUE(holder.onProgressDelegate().isSet());
    holder.onProgressDelegate().call(DownloadProgress{1, 2});
}

} // namespace
