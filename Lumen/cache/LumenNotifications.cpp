#include "Lumen/cache/LumenNotifications.h"

#include "Lumen/foundation/DispatchQueue.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace Lumen {

namespace {
// Read by `adoptApplication`, which Qt may call while `instance()` is still making the object.
std::atomic<LumenNotifications*> madeNotifications{nullptr};
} // namespace

LumenNotifications& LumenNotifications::instance()
{
    // Never destroyed: caches may post after static destruction has begun.
    static LumenNotifications* const notifications = [] {
        auto* made = new LumenNotifications;
        // Without an application the object belongs to no thread until the application's
        // thread takes it in, whichever thread made it.
        if (!QCoreApplication::instance())
            made->moveToThread(nullptr);
        madeNotifications.store(made);
        qAddPreRoutine(&LumenNotifications::adoptApplication);
        return made;
    }();
    return *notifications;
}

void LumenNotifications::adoptApplication()
{
    LumenNotifications* const notifications = madeNotifications.load();
    QCoreApplication* const application = QCoreApplication::instance();
    if (!notifications || !application)
        return;
    if (notifications->thread() != application->thread())
        notifications->moveToThread(application->thread());
    auto* const guiApplication = qobject_cast<QGuiApplication*>(application);
    if (!guiApplication)
        return;
    notifications->m_wasActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
    notifications->m_wasSuspended = QGuiApplication::applicationState() == Qt::ApplicationSuspended;
    connect(guiApplication, &QGuiApplication::applicationStateChanged, notifications,
            [notifications](Qt::ApplicationState state) {
                const bool active = state == Qt::ApplicationActive;
                if (notifications->m_wasActive.exchange(active) && !active)
                    emit notifications->applicationWillResignActive();
                const bool suspended = state == Qt::ApplicationSuspended;
                if (!notifications->m_wasSuspended.exchange(suspended) && suspended)
                    emit notifications->applicationSuspended();
            });
}

void LumenNotifications::postDidCleanDiskCache(std::shared_ptr<ImageCache> sender, const QStringList& cleanedFileNames)
{
    // The block keeps the cache alive until the notification is out.
    DispatchQueue::main()->async([this, sender = std::move(sender), cleanedFileNames] {
        emit lumenDidCleanDiskCache(sender, QVariantMap{{QString::fromLatin1(cleanedHashKey), cleanedFileNames}});
    });
}

} // namespace Lumen
