#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace Tivrand::Testing {

// Records every message Qt logs, from any thread, for the object's life, in place of Qt's own
// handler; the one before is put back when it goes. One at a time.
class QtMessages {
public:
    QtMessages();
    ~QtMessages();
    QtMessages(const QtMessages&) = delete;
    QtMessages& operator=(const QtMessages&) = delete;

    QStringList all() const;
    // How many messages hold `part`.
    int count(const QString& part) const;

private:
    QtMessageHandler m_previous;
};

} // namespace Tivrand::Testing
