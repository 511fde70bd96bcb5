#include "TivrandApp/app/QuitKey.h"

#include "TivrandApp/app/StandardKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace Tivrand {

QuitKey::QuitKey(QObject* parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool QuitKey::eventFilter(QObject* watched, QEvent* event)
{
    // A key bound as a shortcut somewhere never arrives here as a press: the shortcut has it.
    if (event->type() == QEvent::KeyPress
        && quitKeys().contains(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()))) {
        QCoreApplication::quit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Tivrand
