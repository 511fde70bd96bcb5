#include "tests/support/GifWriter.h"

#include <QHash>

#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace Tivrand::Testing {

namespace {

void appendUInt16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Packs variable-width codes least significant bit first, as GIF's LZW stream wants.
class CodePacker {
public:
    void write(int code, int width)
    {
        m_accumulator |= std::uint32_t(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.append(char(m_accumulator & 0xFF));
            m_accumulator >>= 8;
            m_bits -= 8;
        }
    }

    QByteArray finish()
    {
        if (m_bits > 0)
            m_bytes.append(char(m_accumulator & 0xFF));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    std::uint32_t m_accumulator = 0;
    int m_bits = 0;
};

QByteArray lzwCompress(const std::vector<std::uint8_t>& indices, int minimumCodeSize)
{
    const int clearCode = 1 << minimumCodeSize;
    const int endCode = clearCode + 1;
    CodePacker packer;
    std::unordered_map<std::uint32_t, int> table;
    int nextCode = endCode + 1;
    int width = minimumCodeSize + 1;

    packer.write(clearCode, width);
    int prefix = -1;
    for (std::uint8_t index : indices) {
        if (prefix < 0) {
            prefix = index;
            continue;
        }
        const std::uint32_t key = (std::uint32_t(prefix) << 8) | index;
        if (const auto found = table.find(key); found != table.end()) {
            prefix = found->second;
            continue;
        }
        packer.write(prefix, width);
        if (nextCode < 4096) {
            table.emplace(key, nextCode++);
            if (nextCode > (1 << width) && width < 12)
                ++width;
        } else {
            packer.write(clearCode, width);
            table.clear();
            nextCode = endCode + 1;
            width = minimumCodeSize + 1;
        }
        prefix = index;
    }
    if (prefix >= 0)
        packer.write(prefix, width);
    packer.write(endCode, width);
    return packer.finish();
}

void appendSubBlocks(QByteArray& out, const QByteArray& data)
{
    for (qsizetype offset = 0; offset < data.size(); offset += 255) {
        const qsizetype length = std::min<qsizetype>(255, data.size() - offset);
        out.append(char(length));
        out.append(data.mid(offset, length));
    }
    out.append(char(0));
}

} // namespace

QByteArray writeGif(QSize canvasSize, const QList<GifFrame>& frames)
{
    QList<QRgb> palette;
    QHash<QRgb, int> paletteIndex;
    for (const GifFrame& frame : frames) {
        const QImage image = frame.image.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb color = line[x] | 0xFF000000u;
                if (!paletteIndex.contains(color)) {
                    if (palette.size() == 256)
                        throw std::invalid_argument("a GIF holds at most 256 colours");
                    paletteIndex.insert(color, int(palette.size()));
                    palette.append(color);
                }
            }
        }
    }
    const int tableBits = 8;
    while (palette.size() < (1 << tableBits))
        palette.append(qRgb(0, 0, 0));

    QByteArray out("GIF89a");
    appendUInt16(out, canvasSize.width());
    appendUInt16(out, canvasSize.height());
    out.append(char(0x80 | 0x70 | (tableBits - 1)));
    out.append(char(0));
    out.append(char(0));
    for (QRgb color : palette) {
        out.append(char(qRed(color)));
        out.append(char(qGreen(color)));
        out.append(char(qBlue(color)));
    }

    for (const GifFrame& frame : frames) {
        if (frame.delayCentiseconds) {
            out.append(char(0x21));
            out.append(char(0xF9));
            out.append(char(4));
            out.append(char(0));
            appendUInt16(out, *frame.delayCentiseconds);
            out.append(char(0));
            out.append(char(0));
        }
        const QImage image = frame.image.convertToFormat(QImage::Format_RGB32);
        out.append(char(0x2C));
        appendUInt16(out, frame.position.x());
        appendUInt16(out, frame.position.y());
        appendUInt16(out, image.width());
        appendUInt16(out, image.height());
        out.append(char(0));

        std::vector<std::uint8_t> indices;
        indices.reserve(std::size_t(image.width()) * image.height());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                indices.push_back(std::uint8_t(paletteIndex.value(line[x] | 0xFF000000u)));
        }
        out.append(char(tableBits));
        appendSubBlocks(out, lzwCompress(indices, tableBits));
    }
    out.append(char(0x3B));
    return out;
}

GifFrame solidGifFrame(QSize size, QRgb color, std::optional<int> delayCentiseconds)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return GifFrame{image, delayCentiseconds, QPoint(0, 0)};
}

} // namespace Tivrand::Testing
