#include "tests/support/CapturedOutput.h"

#include <QFile>

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace Tivrand::Testing {

CapturedOutput::CapturedOutput()
{
    if (!m_file.open())
        throw std::runtime_error("cannot make a file for the captured output");
    std::fflush(stdout);
    m_savedOutput = ::dup(STDOUT_FILENO);
    if (m_savedOutput < 0 || ::dup2(m_file.handle(), STDOUT_FILENO) < 0)
        throw std::runtime_error("cannot redirect standard output");
}

CapturedOutput::~CapturedOutput()
{
    const QByteArray captured = bytes();
    ::dup2(m_savedOutput, STDOUT_FILENO);
    ::close(m_savedOutput);
    std::fwrite(captured.constData(), 1, static_cast<std::size_t>(captured.size()), stdout);
    std::fflush(stdout);
}

QByteArray CapturedOutput::bytes() const
{
    std::fflush(stdout);
    QFile reader(m_file.fileName());
    return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray();
}

} // namespace Tivrand::Testing
