#include "Lumen/foundation/imaging/BoxBlur.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Lumen {

namespace {

constexpr int channels = 4;
// Intermediate row sums carry 8 extra bits so the two divisions of a pass round only once
// in effect.
constexpr int fractionBits = 8;

// floor(x / d) for x below 2^28 as a multiply and a shift (Granlund and Montgomery).
class Divider {
public:
    explicit Divider(std::uint32_t divisor)
        : m_shift(28 + static_cast<int>(std::bit_width(divisor - 1)))
        , m_multiplier(((std::uint64_t(1) << m_shift) + divisor - 1) / divisor)
    {
    }

    std::uint32_t operator()(std::uint32_t x) const { return static_cast<std::uint32_t>((x * m_multiplier) >> m_shift); }

private:
    int m_shift;
    std::uint64_t m_multiplier;
};

// Row sums of boxes up to this size fit 16 bits unscaled: 255 x (255 + 1) < 2^16.
constexpr int largestPackedBox = 255;

// Spreads the four bytes of a pixel into four 16-bit lanes, in the same order.
std::uint64_t spreadLanes(const uchar* pixel)
{
    std::uint32_t value;
    std::memcpy(&value, pixel, sizeof value);
    std::uint64_t lanes = value;
    lanes = (lanes | (lanes << 16)) & 0x0000FFFF0000FFFFull;
    lanes = (lanes | (lanes << 8)) & 0x00FF00FF00FF00FFull;
    return lanes;
}

// One box pass along rows then columns, in place. Column sums stream over a ring of row
// sums, so besides the image only (box + 1) rows of intermediate values are held, and each
// source row is read before the output row of the same index is written.
//
// Boxes up to `largestPackedBox` keep exact row sums, all four channels added at once in
// one 64-bit word, and divide once per output by box²; larger boxes keep row averages with
// `fractionBits` of fraction so that every intermediate stays within 16 bits.
class BoxPass {
public:
    BoxPass(QImage& image, int boxSize)
        : m_image(image)
        , m_width(image.width())
        , m_height(image.height())
        , m_radius(boxSize / 2)
        , m_boxSize(boxSize)
        , m_packed(boxSize <= largestPackedBox)
        , m_ringRows(std::min(m_height, boxSize + 1))
        , m_ring(std::size_t(m_ringRows) * m_width * channels)
        , m_columnSums(std::size_t(m_width) * channels)
        , m_rowDivider(boxSize)
        , m_columnDivider(m_packed ? std::uint32_t(boxSize) * boxSize : std::uint32_t(boxSize) << fractionBits)
        , m_columnHalf(m_packed ? std::uint32_t(boxSize) * boxSize / 2 : std::uint32_t(boxSize) << (fractionBits - 1))
    {
    }

    void run()
    {
        const std::size_t rowValues = std::size_t(m_width) * channels;
        ensureRowSums(std::min(m_radius, m_height - 1));

        // The window of output row 0 covers rows -r...r, clamped into the image.
        const std::uint16_t* first = ringRow(0);
        for (std::size_t i = 0; i < rowValues; ++i)
            m_columnSums[i] = std::uint32_t(m_radius + 1) * first[i];
        for (int k = 1; k <= m_radius; ++k) {
            const std::uint16_t* row = ringRow(std::min(k, m_height - 1));
            for (std::size_t i = 0; i < rowValues; ++i)
                m_columnSums[i] += row[i];
        }

        for (int y = 0; y < m_height; ++y) {
            uchar* out = m_image.scanLine(y);
            for (std::size_t i = 0; i < rowValues; ++i)
                out[i] = static_cast<uchar>(m_columnDivider(m_columnSums[i] + m_columnHalf));

            if (y + 1 == m_height)
                break;
            const std::uint16_t* leaving = ringRow(std::max(y - m_radius, 0));
            for (std::size_t i = 0; i < rowValues; ++i)
                m_columnSums[i] -= leaving[i];
            const int enteringIndex = std::min(y + m_radius + 1, m_height - 1);
            ensureRowSums(enteringIndex);
            const std::uint16_t* entering = ringRow(enteringIndex);
            for (std::size_t i = 0; i < rowValues; ++i)
                m_columnSums[i] += entering[i];
        }
    }

private:
    std::uint16_t* ringRow(int row) { return m_ring.data() + std::size_t(row % m_ringRows) * m_width * channels; }

    void ensureRowSums(int row)
    {
        while (m_computedRows <= row) {
            const uchar* source = m_image.constScanLine(m_computedRows);
            if (m_packed)
                packedRowSums(source, ringRow(m_computedRows));
            else
                scaledRowAverages(source, ringRow(m_computedRows));
            ++m_computedRows;
        }
    }

    // Exact box sums along one row. Every lane stays within 16 bits, and the leaving pixel
    // is part of the sum it leaves, so lanes never carry or borrow into each other.
    void packedRowSums(const uchar* row, std::uint16_t* out) const
    {
        const int last = m_width - 1;
        const int inside = std::min(m_radius, last);
        std::uint64_t sums = spreadLanes(row) * std::uint64_t(m_radius + 1);
        for (int k = 1; k <= inside; ++k)
            sums += spreadLanes(row + k * channels);
        sums += spreadLanes(row + last * channels) * std::uint64_t(m_radius - inside);

        for (int x = 0; x < m_width; ++x) {
            std::memcpy(out + x * channels, &sums, sizeof sums);
            sums += spreadLanes(row + std::min(x + m_radius + 1, last) * channels);
            sums -= spreadLanes(row + std::max(x - m_radius, 0) * channels);
        }
    }

    // Box averages along one row, kept with `fractionBits` of fraction.
    void scaledRowAverages(const uchar* row, std::uint16_t* out) const
    {
        const int last = m_width - 1;
        const int inside = std::min(m_radius, last);
        const std::uint32_t half = std::uint32_t(m_boxSize) / 2;
        std::uint32_t sums[channels];
        for (int c = 0; c < channels; ++c) {
            std::uint32_t sum = std::uint32_t(m_radius + 1) * row[c];
            for (int k = 1; k <= inside; ++k)
                sum += row[k * channels + c];
            sum += std::uint32_t(m_radius - inside) * row[last * channels + c];
            sums[c] = sum;
        }
        for (int x = 0; x < m_width; ++x) {
            const uchar* entering = row + std::min(x + m_radius + 1, last) * channels;
            const uchar* leaving = row + std::max(x - m_radius, 0) * channels;
            std::uint16_t* target = out + x * channels;
            for (int c = 0; c < channels; ++c) {
                target[c] = static_cast<std::uint16_t>(m_rowDivider((sums[c] << fractionBits) + half));
                sums[c] += entering[c];
                sums[c] -= leaving[c];
            }
        }
    }

    QImage& m_image;
    const int m_width;
    const int m_height;
    const int m_radius;
    const int m_boxSize;
    const bool m_packed;
    const int m_ringRows;
    std::vector<std::uint16_t> m_ring;
    std::vector<std::uint32_t> m_columnSums;
    const Divider m_rowDivider;
    const Divider m_columnDivider;
    const std::uint32_t m_columnHalf;
    int m_computedRows = 0;
};

// What a blur of `size` holds at once besides its input: the working bitmap, and one pass's
// ring of row sums and its column sums.
std::int64_t blurBufferBytes(QSize size, int boxSize)
{
    const std::int64_t width = size.width();
    const std::int64_t ringRows = std::min(size.height(), boxSize + 1);
    return width * size.height() * channels + ringRows * width * channels * std::int64_t(sizeof(std::uint16_t))
        + width * channels * std::int64_t(sizeof(std::uint32_t));
}

} // namespace

std::optional<BoxBlurParameters> BoxBlurParameters::forRadius(double radius)
{
    if (!std::isfinite(radius))
        return std::nullopt;

    constexpr double squareRootOfTwoPi = 2.5066282746310002;
    constexpr double boxAtRadiusTwo = 4.259942411946501;
    const double exact = radius <= 2.0 ? boxAtRadiusTwo : radius * 3.0 * squareRootOfTwoPi / 4.0 + 0.5;
    if (exact > maxBoxSize)
        return std::nullopt;
    int box = static_cast<int>(std::floor(exact));
    if (box % 2 == 0)
        ++box;
    if (box > maxBoxSize)
        return std::nullopt;

    const int passes = radius < 0.5 ? 1 : (radius < 1.5 ? 2 : 3);
    return BoxBlurParameters{box, passes};
}

QImage boxBlurred(const QImage& image, int boxSize, int passes)
{
    if (image.isNull() || boxSize < 1 || boxSize % 2 == 0 || boxSize > BoxBlurParameters::maxBoxSize || passes < 1)
        return QImage();
    if (!BitmapLimits::allows(image.size()) || blurBufferBytes(image.size(), boxSize) > BitmapLimits::maxBitmapBytes)
        return QImage();

    QImage working = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // The passes write in place; never into pixels shared with the caller's image.
    working.detach();
    if (working.isNull())
        return QImage();
    for (int pass = 0; pass < passes; ++pass)
        BoxPass(working, boxSize).run();
    return working;
}

} // namespace Lumen
