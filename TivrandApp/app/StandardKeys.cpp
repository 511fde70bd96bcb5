#include "TivrandApp/app/StandardKeys.h"

namespace Tivrand {

QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, const QKeySequence& fallback)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty())
        keys.append(fallback);
    return keys;
}

QList<QKeySequence> quitKeys()
{
    return standardKeys(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
}

} // namespace Tivrand
