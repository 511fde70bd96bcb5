// Whole-layer operations of the image cache: clearing, expiry cleaning with its
// notification, and the disk size.
#include "Lumen/cache/ImageCache.h"

#include "Lumen/cache/LumenNotifications.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QStringList>

namespace Lumen {

namespace {

void completeOnMain(ImageCache::Completion completionHandler)
{
    if (completionHandler)
        DispatchQueue::main()->async(std::move(completionHandler));
}

} // namespace

void ImageCache::clearCache(Completion completionHandler)
{
    m_memoryStorage->removeAll();
    clearDiskCache(std::move(completionHandler));
}

void ImageCache::clearMemoryCache()
{
    m_memoryStorage->removeAll();
}

void ImageCache::clearDiskCache(Completion completionHandler)
{
    m_ioQueue->async([self = shared_from_this(), completionHandler = std::move(completionHandler)]() mutable {
        (void)self->m_diskStorage->removeAll(); // a directory that cannot be cleared is not reported
        completeOnMain(std::move(completionHandler));
    });
}

void ImageCache::cleanExpiredCache(Completion completionHandler)
{
    cleanExpiredMemoryCache();
    cleanExpiredDiskCache(std::move(completionHandler));
}

void ImageCache::cleanExpiredMemoryCache()
{
    m_memoryStorage->removeExpired();
}

void ImageCache::cleanExpiredDiskCache(Completion completionHandler)
{
    m_ioQueue->async([self = shared_from_this(), completionHandler = std::move(completionHandler)]() mutable {
        DiskSweepResult expired = self->m_diskStorage->removeExpiredValues();
        std::vector<QUrl> removed = std::move(expired.removed);
        if (!expired.error) {
            DiskSweepResult exceeding = self->m_diskStorage->removeSizeExceededValues();
            removed.insert(removed.end(), exceeding.removed.begin(), exceeding.removed.end());
        }
        // Files a failing pass removed before it stopped are gone all the same, so they are
        // announced too.
        if (!removed.empty()) {
            QStringList names;
            names.reserve(static_cast<qsizetype>(removed.size()));
            for (const QUrl& url : removed)
                names.append(url.fileName());
            LumenNotifications::instance().postDidCleanDiskCache(self, names);
        }
        completeOnMain(std::move(completionHandler));
    });
}

void ImageCache::calculateDiskStorageSize(SizeCompletion completionHandler)
{
    m_ioQueue->async([self = shared_from_this(), completionHandler = std::move(completionHandler)] {
        auto size = self->m_diskStorage->totalSize();
        if (completionHandler)
            DispatchQueue::main()->async([completionHandler, size = std::move(size)] { completionHandler(size); });
    });
}

} // namespace Lumen
