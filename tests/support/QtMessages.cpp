#include "tests/support/QtMessages.h"

#include <mutex>

namespace Tivrand::Testing {

namespace {

std::mutex messagesMutex;
QStringList messages;

void record(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::lock_guard lock(messagesMutex);
    messages.append(message);
}

} // namespace

QtMessages::QtMessages()
{
    {
        std::lock_guard lock(messagesMutex);
        messages.clear();
    }
    m_previous = qInstallMessageHandler(record);
}

QtMessages::~QtMessages()
{
    qInstallMessageHandler(m_previous);
}

QStringList QtMessages::all() const
{
    std::lock_guard lock(messagesMutex);
    return messages;
}

int QtMessages::count(const QString& part) const
{
    std::lock_guard lock(messagesMutex);
    return int(messages.filter(part).size());
}

} // namespace Tivrand::Testing
