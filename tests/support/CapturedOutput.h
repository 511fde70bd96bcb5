#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

namespace Tivrand::Testing {

// Sends standard output into a file of its own for the object's life, so that a test can read
// what the program has printed so far while it keeps running (and wait for a line to appear).
// One at a time. When it goes, standard output is put back and given everything captured, so
// nothing printed meanwhile (a failing check's message included) is lost.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();

    // Everything printed since the capture began, as UTF-8 text.
    QString text() const { return QString::fromUtf8(bytes()); }
    bool contains(const QString& part) const { return text().contains(part); }

private:
    QByteArray bytes() const;

    QTemporaryFile m_file;
    int m_savedOutput = -1;
};

} // namespace Tivrand::Testing
