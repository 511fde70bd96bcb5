#pragma once

#include <QString>

#include <optional>

class QByteArray;
class QUrl;

namespace Lumen {

// Texts for the values that error messages print. They are stable and locale-independent.

// An object without a text of its own: "<" + type name + ": 0x" + address + ">"; a null
// object prints "nil".
QString describeObject(const char* typeName, const void* object);

// A URL's own text, encoded as it travels (not the form shown to users), without a password.
QString describeUrl(const QUrl& url);

// A byte buffer by its size: "1024 bytes".
QString describeData(const QByteArray& data);

// An optional value: "Optional(" + its text + ")", or "nil" when absent.
QString describeOptional(const std::optional<QString>& description);

} // namespace Lumen
