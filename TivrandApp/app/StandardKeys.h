#pragma once

#include <QKeySequence>
#include <QList>

namespace Tivrand {

// The platform's keys for `key`; `fallback` where the platform defines none (Linux desktops
// leave some unbound that users know from elsewhere).
QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, const QKeySequence& fallback);

// Ctrl+Q unless the platform says otherwise.
QList<QKeySequence> quitKeys();

} // namespace Tivrand
