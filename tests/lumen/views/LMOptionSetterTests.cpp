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
    const struct {
        const char* name;
        std::function<void(OptionHolder&)> apply;
        QString identifier;
    } cases[] = {
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

TEST(LMOptionSetter, SettersWriteTheirOptionAndBuildWhatTheyWrap)
{
    const auto image = Image::make(QImage(2, 2, QImage::Format_ARGB32_Premultiplied));
    const auto other = Image::make(QImage(3, 3, QImage::Format_ARGB32_Premultiplied));
    const auto serializerOf = [](const LumenParsedOptionsInfo& options) {
        return std::dynamic_pointer_cast<const FormatIndicatedCacheSerializer>(options.cacheSerializer);
    };
    const struct {
        const char* name;
        std::function<void(OptionHolder&)> apply;
        std::function<bool(const LumenParsedOptionsInfo&)> holds;
    } cases[] = {
        {"flags chain", [](OptionHolder& h) { h.forceRefresh().onlyFromCache().cacheMemoryOnly(false); },
         [](const auto& o) { return o.forceRefresh && o.onlyFromCache && !o.cacheMemoryOnly; }},
        {"no failure image is not unset", [](OptionHolder& h) { h.onFailureImage(nullptr); },
         [](const auto& o) { return o.onFailureImage.has_value() && *o.onFailureImage == nullptr; }},
        {"serialize unknown as PNG", [](OptionHolder& h) { h.serialize(ImageFormat::unknown); },
         [&](const auto& o) {
             return serializerOf(o)->imageFormat == ImageFormat::PNG && !serializerOf(o)->jpegCompressionQuality;
         }},
        {"JPEG at full quality", [](OptionHolder& h) { h.serialize(ImageFormat::JPEG); },
         [&](const auto& o) { return serializerOf(o)->jpegCompressionQuality == 1.0; }},
        {"JPEG at a given quality", [](OptionHolder& h) { h.serialize(ImageFormat::JPEG, 0.4); },
         [&](const auto& o) { return serializerOf(o)->jpegCompressionQuality == 0.4; }},
        {"delay retry", [](OptionHolder& h) { h.retry(3, DelayRetryStrategy::Interval::seconds(1)); },
         [](const auto& o) {
             const auto delay = std::dynamic_pointer_cast<const DelayRetryStrategy>(o.retryStrategy);
             return delay && delay->maxRetryCount() == 3;
         }},
        {"retry none after delay retry",
         [](OptionHolder& h) { h.retry(3, DelayRetryStrategy::Interval::seconds(1)).retry(nullptr); },
         [](const auto& o) { return o.retryStrategy == nullptr; }},
        {"request change works on a copy",
         [](OptionHolder& h) { h.requestModifier([](URLRequest& r) { r.setValue("1", "X-Test"); }); },
         [](const auto& o) {
             const URLRequest original(QUrl("http://127.0.0.1/a.png"));
             const auto changed = o.requestModifier->modified(original).result();
             return changed && changed->valueForHTTPHeaderField("X-Test") == "1"
                 && !original.valueForHTTPHeaderField("X-Test");
         }},
        {"image change may replace the image",
         [&](OptionHolder& h) {
             h.imageModifier([&](ImagePtr& i) -> std::expected<void, QString> {
                 i = other;
                 return {};
             });
         },
         [&](const auto& o) { return o.imageModifier->modify(image) == other; }},
        {"a failing image change keeps the image",
         [&](OptionHolder& h) {
             h.imageModifier([&](ImagePtr& i) -> std::expected<void, QString> {
                 i = other;
                 return std::unexpected(QString("no"));
             });
         },
         [&](const auto& o) { return o.imageModifier->modify(image) == image; }},
        {"redirect payload answers the transfer",
         [](OptionHolder& h) {
             h.redirectHandler([](LM::RedirectPayload payload) {
                 payload.newRequest.url.setPath("/moved.png");
                 payload.completionHandler(payload.newRequest);
             });
         },
         [](const auto& o) {
             const auto answer = o.redirectHandler
                                     ->handleHTTPRedirection(nullptr, URLResponse{},
                                                             URLRequest(QUrl("http://127.0.0.1/a.png")))
                                     .result();
             return answer && answer->url == QUrl("http://127.0.0.1/moved.png");
         }},
    };
    for (const auto& test : cases) {
        OptionHolder holder;
        test.apply(holder);
        EXPECT_TRUE(test.holds(holder.options())) << test.name;
    }
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

    std::pair<std::int64_t, std::int64_t> progress;
    holder.onProgress([&](std::int64_t received, std::int64_t total) { progress = {received, total}; });
    holder.onProgressDelegate().call(DownloadProgress{3, 8});
    EXPECT_EQ(progress, std::make_pair(std::int64_t(3), std::int64_t(8)));
}

} // namespace
