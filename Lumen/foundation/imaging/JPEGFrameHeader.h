#pragma once

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

namespace Lumen {

// What the markers of JPEG data say about its decoding cost, read without decoding: the
// frame header and the first scan header.
struct JPEGFrameHeader {
    struct Component {
        int horizontalSampling = 1;
        int verticalSampling = 1;
    };

    QSize size;
    std::vector<Component> components;
    bool progressive = false;
    // Components of the first scan; fewer than the frame's mean several scans.
    int firstScanComponents = 0;

    // Whether libjpeg holds the coefficients of the whole image while it decodes: for
    // progressive data and for data whose components come in separate scans. Scaling the
    // output down does not shrink that memory.
    bool buffersWholeImage() const;

    // The whole-image coefficient memory: 64 coefficients of two bytes for each 8x8 block of
    // each component at its own sampling.
    std::int64_t coefficientBytes() const;
};

// The headers of JPEG data, read the way libjpeg finds markers (bytes between segments are
// skipped up to the next FF). None when the data ends before the first scan header or a
// header is malformed: libjpeg could not decode it either.
std::optional<JPEGFrameHeader> readJPEGFrameHeader(const QByteArray& data);

} // namespace Lumen
