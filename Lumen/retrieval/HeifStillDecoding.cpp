#include "Lumen/retrieval/HeifStillDecoding.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <libheif/heif.h>

#include <memory>
#include <mutex>

namespace Lumen {

namespace {

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

// libheif keeps its decoder plugins registered for the rest of the process.
void initialiseLibheif()
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

std::unexpected<QString> failure(const heif_error& error)
{
    return std::unexpected(QString::fromUtf8(error.message));
}

std::unexpected<QString> beyondBudget(int width, int height)
{
    return std::unexpected(QStringLiteral("The image of ") + QString::number(width) + QLatin1Char('x')
                           + QString::number(height) + QStringLiteral(" pixels is beyond the decoding limits"));
}

} // namespace

std::expected<QImage, QString> decodeHeifStill(const QByteArray& data)
{
    initialiseLibheif();
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        return std::unexpected(QStringLiteral("No HEIF decoding context could be made"));
    // libheif refuses any side that reaches this width, from the header.
    heif_context_set_maximum_image_size_limit(context.get(), BitmapLimits::maxSide + 1);
    if (const heif_error read = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                                             static_cast<size_t>(data.size()), nullptr);
        read.code != heif_error_Ok)
        return failure(read);

    heif_image_handle* primary = nullptr;
    if (const heif_error found = heif_context_get_primary_image_handle(context.get(), &primary);
        found.code != heif_error_Ok)
        return failure(found);
    const std::unique_ptr<heif_image_handle, HandleRelease> handle(primary);
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (!BitmapLimits::allows(QSize(width, height)))
        return beyondBudget(width, height);

    const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    if (const heif_error decoding = heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                                                      heif_chroma_interleaved_RGBA, options.get());
        decoding.code != heif_error_Ok)
        return failure(decoding);
    const std::unique_ptr<heif_image, ImageRelease> image(decoded);

    // The decoded size may differ from the header's (a rotation, a crop): check it again.
    const int imageWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int imageHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!BitmapLimits::allows(QSize(imageWidth, imageHeight)))
        return beyondBudget(imageWidth, imageHeight);
    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!pixels || stride < imageWidth * 4)
        return std::unexpected(QStringLiteral("The decoded HEIF image has no pixels"));
    // The view borrows libheif's plane; the conversion makes the copy that outlives it.
    const QImage plane(pixels, imageWidth, imageHeight, stride, QImage::Format_RGBA8888);
    return plane.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace Lumen
