#include "TivrandApp/services/Diagnostics.h"

#include <cstdio>
#include <mutex>

namespace Tivrand {

void printLine(const QString& line)
{
    static std::mutex outputMutex;
    const QByteArray bytes = line.toUtf8() + '\n';
    std::lock_guard lock(outputMutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace Tivrand
