#include "Lumen/foundation/imaging/FastPNGEncoder.h"

#include <QColorSpace>
#include <QScopeGuard>
#include <QtEndian>

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace Lumen {

namespace {

// The fastest level: files of icons stay within a tenth of a full effort's size once the filtering
// suits them, at a fifth of its time.
constexpr int deflateLevel = 1;
// Larger bitmaps choose between filtered and unfiltered rows by a band of rows this size from
// their middle; smaller ones, for which the band would cost more than half the work, are
// compressed both ways and the smaller kept.
constexpr std::size_t probeBytes = 16 * 1024;
// Scanline buffers up to this size stay with their thread for the next icon; fresh pages for
// every encoding cost as much as the filtering.
constexpr std::size_t keptBufferBytes = 4 * 1024 * 1024;
constexpr int maxKeywordLength = 79;
constexpr std::size_t maxChunkLength = 0x7FFFFFFF;

enum RowFilter : std::uint8_t { none = 0, sub = 1, up = 2 };
enum ColourType : std::uint8_t { truecolour = 2, truecolourWithAlpha = 6 };

struct CompressorRelease {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorRelease>;

// This thread's compressor for `level` (0 to 12), made on first use; null when out of memory.
libdeflate_compressor* compressor(int level)
{
    thread_local std::array<Compressor, 13> made;
    auto& slot = made[std::size_t(level)];
    if (!slot)
        slot.reset(libdeflate_alloc_compressor(level));
    return slot.get();
}

void appendUInt32(QByteArray& target, std::uint32_t value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    target.append(bytes, 4);
}

// zlib-compressed `data` appended to `target`; false when compression failed.
bool appendCompressed(QByteArray& target, const std::uint8_t* data, std::size_t size, int level)
{
    libdeflate_compressor* const deflater = compressor(level);
    if (!deflater)
        return false;
    const qsizetype start = target.size();
    target.resize(start + qsizetype(libdeflate_zlib_compress_bound(deflater, size)));
    const std::size_t written =
        libdeflate_zlib_compress(deflater, data, size, target.data() + start, std::size_t(target.size() - start));
    target.truncate(start + qsizetype(written));
    return written > 0;
}

class ChunkWriter {
public:
    explicit ChunkWriter(std::size_t expectedSize)
    {
        m_bytes.reserve(qsizetype(expectedSize));
        m_bytes.append("\x89PNG\r\n\x1a\n", 8);
    }

    // Starts a chunk whose body the caller appends to `body()`.
    QByteArray& open(const char* type)
    {
        m_start = m_bytes.size();
        appendUInt32(m_bytes, 0);
        m_bytes.append(type, 4);
        return m_bytes;
    }

    // Ends the open chunk; false when its body is too long for a chunk.
    bool close()
    {
        const std::size_t length = std::size_t(m_bytes.size() - m_start) - 8;
        if (length > maxChunkLength)
            return false;
        for (int shift = 24, at = 0; shift >= 0; shift -= 8, ++at)
            m_bytes[m_start + at] = char(length >> shift);
        const auto* typed = reinterpret_cast<const std::uint8_t*>(m_bytes.constData() + m_start + 4);
        appendUInt32(m_bytes, libdeflate_crc32(0, typed, length + 4));
        return true;
    }

    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
    qsizetype m_start = 0;
};

unsigned absoluteSum(const std::uint8_t* bytes, std::size_t size)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i)
        sum += unsigned(std::abs(int(static_cast<std::int8_t>(bytes[i]))));
    return sum;
}

// A row of 32-bit pixels as R, G, B, A bytes: whole words, which the compiler vectorises, where
// byte by byte it reloads each pixel for fear the bytes written alias it.
void toRgba(const QRgb* pixels, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 4) {
        const QRgb pixel = pixels[x];
        const std::uint32_t rgba =
            qToLittleEndian((pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16));
        std::memcpy(out, &rgba, 4);
    }
}

void toRgb(const QRgb* pixels, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 3) {
        const QRgb pixel = pixels[x];
        out[0] = std::uint8_t(qRed(pixel));
        out[1] = std::uint8_t(qGreen(pixel));
        out[2] = std::uint8_t(qBlue(pixel));
    }
}

// PNG scanlines: rows of `stride` bytes, each led by its filter type.
struct Scanlines {
    std::vector<std::uint8_t> bytes;
    std::size_t stride = 0;
    std::size_t channels = 0;

    std::size_t lineLength() const { return stride + 1; }
    std::size_t rowCount() const { return bytes.size() / lineLength(); }
    const std::uint8_t* row(std::size_t y) const { return bytes.data() + lineLength() * y + 1; }
};

// The bitmap's rows unfiltered, as flat icons compress best: their rows repeat whole, where
// filtered residuals along anti-aliased edges do not.
void unpackScanlines(const QImage& bitmap, bool alpha, Scanlines& out)
{
    const int width = bitmap.width();
    out.channels = alpha ? 4 : 3;
    out.stride = std::size_t(width) * out.channels;
    out.bytes.resize(out.lineLength() * std::size_t(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* line = out.bytes.data() + out.lineLength() * std::size_t(y);
        line[0] = RowFilter::none;
        const auto* pixels = reinterpret_cast<const QRgb*>(bitmap.constScanLine(y));
        if (alpha)
            toRgba(pixels, width, line + 1);
        else
            toRgb(pixels, width, line + 1);
    }
}

// Rows [first, first + count) of the unfiltered `source`, each led by the cheaper of the Sub and
// Up filters (the smaller sum of signed residuals, the usual estimate of what compresses best):
// photographs and gradients compress best this way.
void filterScanlines(const Scanlines& source, std::size_t first, std::size_t count, Scanlines& out)
{
    const std::size_t stride = source.stride;
    const std::size_t channels = source.channels;
    out.stride = stride;
    out.channels = channels;
    out.bytes.resize(source.lineLength() * count);
    const std::vector<std::uint8_t> zeros(stride, 0);
    std::vector<std::uint8_t> bySub(stride), byUp(stride);
    for (std::size_t y = first; y < first + count; ++y) {
        const std::uint8_t* current = source.row(y);
        const std::uint8_t* previous = y == 0 ? zeros.data() : source.row(y - 1);
        std::copy_n(current, channels, bySub.data());
        for (std::size_t i = channels; i < stride; ++i)
            bySub[i] = std::uint8_t(current[i] - current[i - channels]);
        for (std::size_t i = 0; i < stride; ++i)
            byUp[i] = std::uint8_t(current[i] - previous[i]);
        const bool upWins = absoluteSum(byUp.data(), stride) <= absoluteSum(bySub.data(), stride);
        std::uint8_t* line = out.bytes.data() + out.lineLength() * (y - first);
        line[0] = upWins ? RowFilter::up : RowFilter::sub;
        std::memcpy(line + 1, upWins ? byUp.data() : bySub.data(), stride);
    }
}

bool appendCompressed(QByteArray& target, const std::vector<std::uint8_t>& data, int level)
{
    return appendCompressed(target, data.data(), data.size(), level);
}

// Small bitmaps: both ways in full, keeping the smaller.
bool writeSmallerOfBoth(QByteArray& body, const Scanlines& unfiltered, Scanlines& filtered)
{
    filterScanlines(unfiltered, 0, unfiltered.rowCount(), filtered);
    QByteArray other;
    if (!appendCompressed(other, filtered.bytes, deflateLevel))
        return false;
    const qsizetype start = body.size();
    if (!appendCompressed(body, unfiltered.bytes, deflateLevel))
        return false;
    if (other.size() < body.size() - start) {
        body.truncate(start);
        body.append(other);
    }
    return true;
}

// Large bitmaps: the way that compresses a band of rows from the middle better. Noise-like rows
// are stored: deflating them costs much and saves nothing.
bool writeProbedChoice(QByteArray& body, const Scanlines& unfiltered, Scanlines& filtered)
{
    const std::size_t rows = unfiltered.rowCount();
    const std::size_t bandRows = std::min(rows, std::max<std::size_t>(probeBytes / unfiltered.lineLength(), 2));
    const std::size_t first = (rows - bandRows) / 2;
    const std::size_t bandBytes = bandRows * unfiltered.lineLength();
    filterScanlines(unfiltered, first, bandRows, filtered);
    QByteArray probe;
    if (!appendCompressed(probe, unfiltered.bytes.data() + first * unfiltered.lineLength(), bandBytes, deflateLevel))
        return false;
    const qsizetype unfilteredSize = probe.size();
    probe.clear();
    if (!appendCompressed(probe, filtered.bytes, deflateLevel))
        return false;
    const std::size_t smaller = std::size_t(std::min(probe.size(), unfilteredSize));
    if (smaller * 10 > bandBytes * 9)
        return appendCompressed(body, unfiltered.bytes, 0);
    if (probe.size() >= unfilteredSize)
        return appendCompressed(body, unfiltered.bytes, deflateLevel);
    filterScanlines(unfiltered, 0, rows, filtered);
    return appendCompressed(body, filtered.bytes, deflateLevel);
}

bool writeImageData(ChunkWriter& writer, const QImage& bitmap, bool alpha)
{
    thread_local Scanlines unfiltered, filtered;
    const auto releaseLarge = qScopeGuard([] {
        for (Scanlines* kept : {&unfiltered, &filtered})
            if (kept->bytes.capacity() > keptBufferBytes)
                kept->bytes = {};
    });
    unpackScanlines(bitmap, alpha, unfiltered);
    QByteArray& body = writer.open("IDAT");
    return (unfiltered.bytes.size() <= 2 * probeBytes ? writeSmallerOfBoth(body, unfiltered, filtered)
                                                  : writeProbedChoice(body, unfiltered, filtered))
           && writer.close();
}

void writeHeader(ChunkWriter& writer, const QImage& bitmap, bool alpha)
{
    QByteArray& body = writer.open("IHDR");
    appendUInt32(body, std::uint32_t(bitmap.width()));
    appendUInt32(body, std::uint32_t(bitmap.height()));
    const char rest[] = {8, char(alpha ? truecolourWithAlpha : truecolour), 0, 0, 0};
    body.append(rest, sizeof rest);
    writer.close();
}

bool writeColourProfile(ChunkWriter& writer, const QColorSpace& colourSpace)
{
    const QByteArray name = colourSpace.description().toLatin1();
    const QByteArray profile = colourSpace.iccProfile();
    if (name.isEmpty() || name.size() > maxKeywordLength || name.contains('\0') || profile.isEmpty())
        return false;
    QByteArray& body = writer.open("iCCP");
    body.append(name).append(QByteArray(2, '\0'));
    return appendCompressed(body, reinterpret_cast<const std::uint8_t*>(profile.constData()),
                            std::size_t(profile.size()), deflateLevel)
           && writer.close();
}

// A PNG keyword: 1 to 79 printable Latin-1 characters, with single spaces inside only.
bool isKeyword(const QString& key)
{
    if (key.isEmpty() || key.size() > maxKeywordLength || key.front() == u' ' || key.back() == u' '
        || key.contains(QLatin1String("  ")))
        return false;
    return std::all_of(key.begin(), key.end(), [](QChar character) {
        const char16_t code = character.unicode();
        return (code >= 0x20 && code <= 0x7E) || (code >= 0xA1 && code <= 0xFF);
    });
}

// The bitmap's texts as uncompressed international text chunks, which read back as exactly the
// strings they hold; false for a key no chunk can carry.
bool writeTexts(ChunkWriter& writer, const QImage& bitmap)
{
    for (const QString& key : bitmap.textKeys()) {
        if (!isKeyword(key))
            return false;
        QByteArray& body = writer.open("iTXt");
        // The keyword, then: not compressed, method 0, no language tag, no translated keyword.
        body.append(key.toLatin1()).append(QByteArray(5, '\0'));
        body.append(bitmap.text(key).toUtf8());
        if (!writer.close())
            return false;
    }
    return true;
}

void writePhysicalDimensions(ChunkWriter& writer, const QImage& bitmap)
{
    QByteArray& body = writer.open("pHYs");
    appendUInt32(body, std::uint32_t(bitmap.dotsPerMeterX()));
    appendUInt32(body, std::uint32_t(bitmap.dotsPerMeterY()));
    body.append(char(1)); // the unit is the metre
    writer.close();
}

} // namespace

std::optional<QByteArray> fastPngData(const QImage& bitmap)
{
    if (bitmap.isNull())
        return std::nullopt;
    QImage pixels;
    switch (bitmap.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        pixels = bitmap;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        pixels = bitmap.convertToFormat(QImage::Format_ARGB32);
        break;
    default:
        return std::nullopt;
    }
    const bool alpha = pixels.hasAlphaChannel();

    // Room for the stored worst case, so the file is never copied while it grows.
    ChunkWriter writer(std::size_t(pixels.width()) * std::size_t(pixels.height()) * (alpha ? 4 : 3) * 101 / 100 + 1024);
    writeHeader(writer, pixels, alpha);
    if (pixels.colorSpace().isValid() && !writeColourProfile(writer, pixels.colorSpace()))
        return std::nullopt;
    if (pixels.dotsPerMeterX() > 0 && pixels.dotsPerMeterY() > 0)
        writePhysicalDimensions(writer, pixels);
    if (!writeTexts(writer, pixels))
        return std::nullopt;
    if (!writeImageData(writer, pixels, alpha))
        return std::nullopt;
    writer.open("IEND");
    writer.close();
    return writer.take();
}

} // namespace Lumen
