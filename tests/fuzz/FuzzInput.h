#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace Tivrand::Fuzzing {

// The fuzzer's bytes, not copied: a copy would end in a terminating zero that hides a read
// one byte past the end, while libFuzzer's buffer is poisoned right after its last byte.
// Valid only during the call.
inline QByteArray inputBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Qt's image plugins warn on every broken input; millions of lines would only slow the run.
inline void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// A property the target checks failed: a finding, reported by libFuzzer like a crash.
inline void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace Tivrand::Fuzzing
