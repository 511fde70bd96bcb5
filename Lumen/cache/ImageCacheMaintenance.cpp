// Whole-layer operations of the image cache: clearing, expiry cleaning with its
// notification, the cleaning when the application stops being active, and the disk size.
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

void ImageCache::observeApplicationActivity()
{
    LumenNotifications& notifications = LumenNotifications::instance();
    m_activityConnection = QObject::connect(&notifications, &LumenNotifications::applicationWillResignActive,
                                            &notifications, [activity = m_activity] {
                                                if (const auto self = activity->cache())
                                                    self->cleanExpiredDiskCache();
                                            });
}

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
        bool failed = expired.error.has_value();
        if (!failed) {
            DiskSweepResult exceeding = self->m_diskStorage->removeSizeExceededValues();
            removed.insert(removed.end(), exceeding.removed.begin(), exceeding.removed.end());
            failed = exceeding.error.has_value();
        }
        // A pass that failed part way is not announced; what it removed stays removed.
        if (!failed && !removed.empty()) {
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
