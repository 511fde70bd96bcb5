#pragma once

#include <QByteArray>
#include <QSize>

#include <cstddef>
#include <optional>

namespace Lumen {

// The size of the bitmap that a BMP information header states: the header that follows a BMP
// file's 14-byte file header, and that opens every bitmap icon of an ICO file. The height is
// taken whole (negative heights mark rows stored top down). None when the header is cut off,
// of a layout no decoder reads, or states no positive size.
std::optional<QSize> readBMPInfoHeader(const QByteArray& data, std::size_t offset);

} // namespace Lumen
