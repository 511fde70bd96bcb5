#pragma once

// WebP data made bit by bit, for what an encoder never writes: lossless bitstreams whose
// entropy image names a prefix-code group for every block, and animations of any canvas.
#include <QByteArray>
#include <QList>
#include <QRect>
#include <QtEndian>

#include <cstdint>

namespace Tivrand::Testing {

inline QByteArray riffChunk(const char* type, const QByteArray& payload)
{
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(quint32(payload.size()), size.data());
    return QByteArray(type, 4) + size + payload + (payload.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

inline QByteArray uint24(quint32 value)
{
    return QByteArray(1, char(value)) + char(value >> 8) + char(value >> 16);
}

inline QByteArray riffWebP(const QByteArray& body)
{
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size() + 4), size.data());
    return "RIFF" + size + "WEBP" + body;
}

// Bits as a lossless bitstream holds them: each value from its lowest bit up.
class LosslessBitWriter {
public:
    void put(std::uint32_t value, int bits)
    {
        for (int bit = 0; bit < bits; ++bit, ++m_bits) {
            if (m_bits % 8 == 0)
                m_bytes.append('\0');
            m_bytes[m_bytes.size() - 1] = char(m_bytes.back() | (((value >> bit) & 1) << (m_bits % 8)));
        }
    }
    // A prefix code's word, whose first bit is its highest.
    void putCode(std::uint32_t code, int length)
    {
        for (int bit = length - 1; bit >= 0; --bit)
            put((code >> bit) & 1, 1);
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    std::int64_t m_bits = 0;
};

// Starts a lossless bitstream stating `size`, without alpha.
inline LosslessBitWriter losslessStart(QSize size)
{
    LosslessBitWriter bits;
    bits.put(0x2F, 8);
    bits.put(std::uint32_t(size.width() - 1), 14);
    bits.put(std::uint32_t(size.height() - 1), 14);
    bits.put(0, 4); // no alpha, version 0
    return bits;
}

// The header of a lossless bitstream stating `size`, with no pixels.
inline QByteArray losslessHeader(QSize size)
{
    return losslessStart(size).bytes();
}

namespace CraftedLossless {

// A code of one symbol, which costs no bit to read.
inline void oneSymbolCode(LosslessBitWriter& bits)
{
    bits.put(1, 1); // simple
    bits.put(0, 1); // one symbol
    bits.put(0, 1); // of one bit
    bits.put(0, 1); // the symbol 0
}

// A code giving the first 256 of `alphabet` symbols eight bits each, so symbol s is written
// as the eight bits of s.
inline void eightBitCode(LosslessBitWriter& bits, int alphabet)
{
    bits.put(0, 1); // normal
    bits.put(12 - 4, 4); // twelve code-length code lengths, in their order 17 18 0 1 2 3 4 5 16 6 7 8
    for (const int length : {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1})
        bits.put(std::uint32_t(length), 3);
    bits.put(0, 1); // every symbol's length follows
    for (int symbol = 0; symbol < alphabet; ++symbol)
        bits.put(symbol < 256 ? 1 : 0, 1); // length 8 is code 1, length 0 code 0
}

} // namespace CraftedLossless

// A valid lossless bitstream of `size` whose entropy image, one pixel per block of
// 2^`precisionBits` pixels on a side, names a group of its own for every block (at most
// 65536), each group of one-symbol codes. Every pixel is black; the groups cost the decoder
// its tables, and the bitstream a few bytes each.
inline QByteArray losslessWithGroupPerBlock(QSize size, int precisionBits)
{
    using namespace CraftedLossless;
    LosslessBitWriter bits = losslessStart(size);
    bits.put(0, 1); // no transform
    bits.put(0, 1); // no colour cache
    bits.put(1, 1); // an entropy image
    bits.put(std::uint32_t(precisionBits - 2), 3);
    const int block = 1 << precisionBits;
    const int groups = ((size.width() + block - 1) / block) * ((size.height() + block - 1) / block);
    // The entropy image: green and red spell each block's group, blue and alpha cost nothing.
    bits.put(0, 1); // no colour cache
    eightBitCode(bits, 256 + 24);
    eightBitCode(bits, 256);
    for (int code = 0; code < 3; ++code)
        oneSymbolCode(bits);
    for (int group = 0; group < groups; ++group) {
        bits.putCode(std::uint32_t(group & 0xFF), 8);
        bits.putCode(std::uint32_t(group >> 8), 8);
    }
    for (int group = 0; group < groups; ++group)
        for (int code = 0; code < 5; ++code)
            oneSymbolCode(bits);
    return bits.bytes();
}

// A valid lossless bitstream of `size` whose two transform images and entropy image each
// take the largest colour cache and codes of one symbol: a few bytes that have a reader build
// codes over the largest alphabets.
inline QByteArray losslessOfLargestAlphabets(QSize size)
{
    using namespace CraftedLossless;
    LosslessBitWriter bits = losslessStart(size);
    const auto blackImage = [&bits] {
        bits.put(1, 1); // a colour cache
        bits.put(11, 4); // of the largest size
        for (int code = 0; code < 5; ++code)
            oneSymbolCode(bits);
    };
    for (const std::uint32_t transform : {0, 1}) { // predictor, cross colour
        bits.put(1, 1);
        bits.put(transform, 2);
        bits.put(0, 3); // one pixel for every block of 4 x 4
        blackImage();
    }
    bits.put(0, 1); // no more transforms
    bits.put(0, 1); // no colour cache
    bits.put(1, 1); // an entropy image
    bits.put(0, 3);
    blackImage();
    for (int code = 0; code < 5; ++code)
        oneSymbolCode(bits);
    return bits.bytes();
}

// An animation on `canvas` of frames, each a lossless bitstream placed at its point.
inline QByteArray animatedWebP(QSize canvas, const QList<std::pair<QPoint, QByteArray>>& frames)
{
    QByteArray body = riffChunk("VP8X", QByteArray(1, 0x02) + QByteArray(3, '\0') + uint24(canvas.width() - 1)
                                            + uint24(canvas.height() - 1));
    body += riffChunk("ANIM", QByteArray(6, '\0'));
    for (const auto& [at, bitstream] : frames) {
        const quint32 header = qFromLittleEndian<quint32>(bitstream.constData() + 1);
        body += riffChunk("ANMF", uint24(at.x() / 2) + uint24(at.y() / 2) + uint24(header & 0x3FFF)
                                      + uint24((header >> 14) & 0x3FFF) + uint24(10) + '\0'
                                      + riffChunk("VP8L", bitstream));
    }
    return riffWebP(body);
}

// The same with frames of the given places and sizes whose bitstreams hold a header alone.
inline QByteArray animatedWebP(QSize canvas, const QList<QRect>& frames)
{
    QList<std::pair<QPoint, QByteArray>> headers;
    for (const QRect& frame : frames)
        headers.append({frame.topLeft(), losslessHeader(frame.size())});
    return animatedWebP(canvas, headers);
}

} // namespace Tivrand::Testing
