#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"

#include "Lumen/foundation/imaging/AllocationFailure.h"
#include "Lumen/foundation/imaging/GIFAnimatedImage.h"
#include "Lumen/foundation/imaging/GIFFrameSource.h"

namespace Lumen {

namespace {

AnimatedImageError sourceError(GIFFrameSourceError error)
{
    return error == GIFFrameSourceError::canvasTooLarge ? AnimatedImageError::canvasTooLarge
                                                        : AnimatedImageError::notGIF;
}

// The image that represents the animation. It must not be one of the frames it will carry:
// an image holding itself in its frame list would never be freed.
AnimatedDecoding representative(const ImagePtr& baseImage, const QImage& firstFrame)
{
    if (baseImage)
        return baseImage;
    if (firstFrame.isNull())
        return std::unexpected(AnimatedImageError::noFrames);
    return Image::make(firstFrame);
}

AnimatedDecoding decodedFromSource(const std::shared_ptr<ImageFrameSource>& source,
                                   const ImageCreatingOptions& options, const ImagePtr& baseImage)
{
    if (!source)
        return std::unexpected(AnimatedImageError::noFrames);

    auto animated = GIFAnimatedImage::decode(*source, options);
    AnimatedDecoding result;
    if (!animated) {
        if (animated.error() == GIFAnimatedImageError::frameUnavailable)
            return std::unexpected(AnimatedImageError::frameUnavailable);
        // Over the eager budget: the first frame now, the others through the frame source.
        const QImage first = source->frame(0);
        if (first.isNull())
            return std::unexpected(AnimatedImageError::frameUnavailable);
        result = representative(baseImage, first);
    } else if (options.onlyFirstFrame) {
        if (animated->images.isEmpty())
            return std::unexpected(AnimatedImageError::noFrames);
        result = animated->images.front();
    } else {
        result = representative(baseImage,
                                animated->images.isEmpty() ? QImage() : animated->images.front()->bitmap());
        if (!result)
            return result;
        (*result)->setImages(std::move(animated->images));
        (*result)->setDuration(animated->duration);
    }
    if (!result)
        return result;

    const ImagePtr& image = *result;
    image->setAnimatedImageData(source->data());
    image->setImageFrameCount(source->frameCount());
    image->setFrameSource(source);
    image->setImageCreatingOptions(options);
    return result;
}

AnimatedDecoding outOfMemory()
{
    return std::unexpected(AnimatedImageError::outOfMemory);
}

} // namespace

AnimatedDecoding decodeAnimatedImage(const QByteArray& data, const ImageCreatingOptions& options)
{
    return refusingAllocationFailure(outOfMemory(), [&]() -> AnimatedDecoding {
        auto source = GIFFrameSource::make(data);
        if (!source)
            return std::unexpected(sourceError(source.error()));
        return decodedFromSource(*source, options, nullptr);
    });
}

AnimatedDecoding decodeAnimatedImage(const std::shared_ptr<ImageFrameSource>& source,
                                     const ImageCreatingOptions& options, const ImagePtr& baseImage)
{
    return refusingAllocationFailure(outOfMemory(), [&] { return decodedFromSource(source, options, baseImage); });
}

ImagePtr animatedImage(const QByteArray& data, const ImageCreatingOptions& options)
{
    return decodeAnimatedImage(data, options).value_or(nullptr);
}

ImagePtr animatedImage(const std::shared_ptr<ImageFrameSource>& source, const ImageCreatingOptions& options,
                       const ImagePtr& baseImage)
{
    return decodeAnimatedImage(source, options, baseImage).value_or(nullptr);
}

} // namespace Lumen
