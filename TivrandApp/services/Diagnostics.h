#pragma once

#include <QString>

namespace Tivrand {

// Writes one diagnostic line to standard output as UTF-8 and flushes it, so lines from
// different parts of the program keep their order.
void printLine(const QString& line);

} // namespace Tivrand
