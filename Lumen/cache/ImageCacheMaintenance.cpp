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
    m_ioQueue->async([diskStorage = m_diskStorage, fileWork = m_fileWork,
                      completionHandler = std::move(completionHandler)]() mutable {
        // A directory that cannot be cleared is not reported, nor one whose cache is gone.
        fileWork->runUnlessClosed([&] { (void)diskStorage->removeAll(); });
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
    m_ioQueue->async([weakSelf = weak_from_this(), diskStorage = m_diskStorage, fileWork = m_fileWork,
                      completionHandler = std::move(completionHandler)]() mutable {
        std::vector<QUrl> removed;
        bool failed = false;
        const bool ran = fileWork->runUnlessClosed([&] {
            DiskSweepResult expired = diskStorage->removeExpiredValues();
            removed = std::move(expired.removed);
            failed = expired.error.has_value();
            if (!failed) {
                DiskSweepResult exceeding = diskStorage->removeSizeExceededValues();
                removed.insert(removed.end(), exceeding.removed.begin(), exceeding.removed.end());
                failed = exceeding.error.has_value();
            }
        });
        // A pass that failed part way, or did not run as its cache is gone, is not announced;
        // what it removed stays removed. A cache gone while its cleaning ran cannot be named
        // by the notification.
        const auto self = weakSelf.lock();
        if (ran && self && !failed && !removed.empty()) {
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
    m_ioQueue->async([diskStorage = m_diskStorage, completionHandler = std::move(completionHandler)] {
        auto size = diskStorage->totalSize();
        if (completionHandler)
            DispatchQueue::main()->async([completionHandler, size = std::move(size)] { completionHandler(size); });
    });
}

} // namespace Lumen
