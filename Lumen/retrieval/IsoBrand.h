#pragma once

#include <QByteArray>

#include <optional>

namespace Lumen {

// The major brand of an ISO base media file (HEIF, QuickTime, MP4): the four bytes after an
// "ftyp" box header at the very start of `head`. None when `head` does not begin with one.
std::optional<QByteArray> isoMajorBrand(const QByteArray& head);

// Whether `head` begins as a single HEIF image (not an image sequence).
bool carriesHeifStillBrand(const QByteArray& head);
// Whether `head` begins as a QuickTime or MP4-family movie.
bool carriesMovieBrand(const QByteArray& head);

} // namespace Lumen
