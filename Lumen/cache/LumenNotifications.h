#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <memory>

namespace Lumen {

class ImageCache;

// The library's process-wide notifications, as signals of one object that lives on the GUI
// thread. Signals are emitted on the GUI thread only. The object may be made before the
// application: it joins the application's thread, and watches its state, once that exists.
class LumenNotifications final : public QObject {
    Q_OBJECT

public:
    // Name of the notification a disk cleaning posts.
    static constexpr char didCleanDiskCacheName[] = "com.vantrel.Lumen.LumenDidCleanDiskCache";
    // Key of the removed file names (a QStringList, in removal order) in its user information.
    static constexpr char cleanedHashKey[] = "com.vantrel.Lumen.cleanedHash";

    static LumenNotifications& instance();

    // Posts the disk-cleaning notification on the GUI thread, after the work already queued
    // there.
    void postDidCleanDiskCache(std::shared_ptr<ImageCache> sender, const QStringList& cleanedFileNames);

signals:
    // "com.vantrel.Lumen.LumenDidCleanDiskCache": a disk cleaning removed at least one file.
    // `userInfo` holds `cleanedHashKey`.
    void lumenDidCleanDiskCache(const std::shared_ptr<Lumen::ImageCache>& sender, const QVariantMap& userInfo);
    // The application stopped being the active one (its state left `Qt::ApplicationActive`,
    // which on platforms without their own notion of it means its last window lost focus).
    // Once per change: going on from inactive to hidden is no second signal.
    void applicationWillResignActive();
    // The application was suspended (its state became `Qt::ApplicationSuspended`), once per
    // change.
    void applicationSuspended();

private:
    LumenNotifications() = default;

    // Run by Qt as each application object is made, or at once for an existing one.
    static void adoptApplication();

    std::atomic<bool> m_wasActive{false};
    std::atomic<bool> m_wasSuspended{false};
};

} // namespace Lumen
