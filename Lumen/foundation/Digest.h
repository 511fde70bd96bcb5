#pragma once

#include <QString>
#include <QStringView>

namespace Lumen {

// SHA-256 of the text's UTF-8 bytes as 64 lowercase hexadecimal characters; the disk
// cache names its files by it. Unpaired UTF-16 surrogates are encoded one by one as
// three-byte sequences instead of being replaced, so two distinct keys never share a
// digest through a lossy conversion. Any thread.
QString sha256Hex(QStringView text);

} // namespace Lumen
