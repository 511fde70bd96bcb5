#include "Lumen/foundation/Digest.h"

#include "Lumen/foundation/LumenWrapper.h"

#include <QByteArray>

#include <openssl/sha.h>

namespace Lumen {

namespace {

void appendUtf8(QByteArray& bytes, char32_t codePoint)
{
    if (codePoint < 0x80) {
        bytes.append(char(codePoint));
    } else if (codePoint < 0x800) {
        bytes.append(char(0xC0 | (codePoint >> 6)));
        bytes.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        bytes.append(char(0xE0 | (codePoint >> 12)));
        bytes.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        bytes.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        bytes.append(char(0xF0 | (codePoint >> 18)));
        bytes.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
        bytes.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        bytes.append(char(0x80 | (codePoint & 0x3F)));
    }
}

// UTF-8 for valid text; a lone surrogate keeps its own code unit value.
QByteArray losslessUtf8(QStringView text)
{
    if (text.isValidUtf16())
        return text.toUtf8();

    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        const bool pairs = QChar::isHighSurrogate(unit) && i + 1 < text.size()
                           && QChar::isLowSurrogate(text[i + 1].unicode());
        if (pairs) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace

QString sha256Hex(QStringView text)
{
    // OpenSSL's SHA-256 takes half the time of Qt's own, and every disk-cache hit names its file by it.
    const QByteArray bytes = losslessUtf8(text);
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()), digest);
    return QString::fromLatin1(QByteArray::fromRawData(reinterpret_cast<const char*>(digest), sizeof digest).toHex());
}

QString LumenWrapper<QString>::sha256() const
{
    return sha256Hex(base());
}

} // namespace Lumen
