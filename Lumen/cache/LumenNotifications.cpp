#include "Lumen/cache/LumenNotifications.h"

#include "Lumen/foundation/DispatchQueue.h"

#include <QGuiApplication>

namespace Lumen {

LumenNotifications::LumenNotifications()
{
    if (auto* application = qGuiApp) {
        connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                emit applicationWillResignActive();
        });
    }
}

LumenNotifications& LumenNotifications::instance()
{
    // Never destroyed: caches may post after static destruction has begun.
    static LumenNotifications* const notifications = [] {
        auto* made = new LumenNotifications;
        if (auto* application = QCoreApplication::instance(); application && made->thread() != application->thread())
            made->moveToThread(application->thread());
        return made;
    }();
    return *notifications;
}

void LumenNotifications::postDidCleanDiskCache(std::shared_ptr<ImageCache> sender, const QStringList& cleanedFileNames)
{
    // The block keeps the cache alive until the notification is out.
    DispatchQueue::main()->async([this, sender = std::move(sender), cleanedFileNames] {
        emit lumenDidCleanDiskCache(sender, QVariantMap{{QString::fromLatin1(cleanedHashKey), cleanedFileNames}});
    });
}

} // namespace Lumen
