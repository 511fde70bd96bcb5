#include "TivrandApp/models/JsonReader.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Tivrand {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isBlank(char character)
{
    return character == ' ' || character == '\t' || character == '\n' || character == '\r';
}

bool isDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool isSurrogate(char32_t code)
{
    return code >= 0xD800 && code <= 0xDFFF;
}

// The length of the well-formed UTF-8 sequence at `bytes`, or 0 when there is none.
qsizetype utf8SequenceLength(const unsigned char* bytes, qsizetype available)
{
    const unsigned char lead = bytes[0];
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t code = 0;
    char32_t smallest = 0; // shorter forms of the same code are refused
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    for (qsizetype index = 1; index < length; ++index) {
        if ((bytes[index] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (bytes[index] & 0x3F);
    }
    return code < smallest || code > 0x10FFFF || isSurrogate(code) ? 0 : length;
}

void appendUtf8(QByteArray& utf8, char32_t code)
{
    if (code < 0x80) {
        utf8 += char(code);
    } else if (code < 0x800) {
        utf8 += char(0xC0 | (code >> 6));
        utf8 += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        utf8 += char(0xE0 | (code >> 12));
        utf8 += char(0x80 | ((code >> 6) & 0x3F));
        utf8 += char(0x80 | (code & 0x3F));
    } else {
        utf8 += char(0xF0 | (code >> 18));
        utf8 += char(0x80 | ((code >> 12) & 0x3F));
        utf8 += char(0x80 | ((code >> 6) & 0x3F));
        utf8 += char(0x80 | (code & 0x3F));
    }
}

// The four hex digits at `digits`, or none.
std::optional<char32_t> hexQuad(const char* digits)
{
    char32_t code = 0;
    for (int index = 0; index < 4; ++index) {
        const char digit = digits[index];
        int value = 0;
        if (isDigit(digit))
            value = digit - '0';
        else if (digit >= 'a' && digit <= 'f')
            value = digit - 'a' + 10;
        else if (digit >= 'A' && digit <= 'F')
            value = digit - 'A' + 10;
        else
            return std::nullopt;
        code = code * 16 + char32_t(value);
    }
    return code;
}

} // namespace

JsonReader::JsonReader(QByteArrayView json)
    : m_data(json.data())
    , m_size(json.size())
{
    if (json.startsWith("\xEF\xBB\xBF"))
        m_position = 3;
}

bool JsonReader::enterObject()
{
    return enter('{', true);
}

bool JsonReader::nextKey(QString& key)
{
    QByteArray utf8;
    if (!nextKeyBytes(&utf8))
        return false;
    key = QString::fromUtf8(utf8);
    return true;
}

bool JsonReader::enterArray()
{
    return enter('[', false);
}

bool JsonReader::nextElement()
{
    return nextMember(']');
}

std::optional<QString> JsonReader::text()
{
    if (failed())
        return std::nullopt;
    if (peek() != '"') {
        skip();
        return std::nullopt;
    }
    QByteArray utf8;
    if (!scanString(&utf8))
        return std::nullopt;
    return QString::fromUtf8(utf8);
}

std::optional<double> JsonReader::number()
{
    if (failed())
        return std::nullopt;
    const char first = peek();
    if (first != '-' && !isDigit(first)) {
        skip();
        return std::nullopt;
    }
    const std::optional<QByteArrayView> digits = scanNumber();
    if (!digits)
        return std::nullopt;
    double value = 0;
    // Locale-independent; out of range (overflow or underflow) is an error, never an infinity.
    const auto [end, error] = std::from_chars(digits->data(), digits->data() + digits->size(), value);
    if (error != std::errc())
        return std::nullopt;
    return value;
}

std::optional<int> JsonReader::integer()
{
    const std::optional<double> value = number();
    if (!value || std::trunc(*value) != *value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

void JsonReader::skip()
{
    if (failed())
        return;
    const char first = peek();
    switch (first) {
    case '{':
        if (enter('{', true)) {
            while (nextKeyBytes(nullptr))
                skip();
        }
        return;
    case '[':
        if (enter('[', false)) {
            while (nextElement())
                skip();
        }
        return;
    case '"':
        scanString(nullptr);
        return;
    case 't':
        scanLiteral("true");
        return;
    case 'f':
        scanLiteral("false");
        return;
    case 'n':
        scanLiteral("null");
        return;
    default:
        if (first == '-' || isDigit(first))
            scanNumber();
        else
            fail(m_position == m_size ? "unexpected end" : "illegal value");
    }
}

bool JsonReader::finish()
{
    if (!failed() && (peek(), m_position != m_size))
        fail("garbage at the end");
    return !failed();
}

QString JsonReader::errorString() const
{
    return QString::fromLatin1(m_error ? m_error : "no error");
}

char JsonReader::peek()
{
    while (m_position < m_size && isBlank(m_data[m_position]))
        ++m_position;
    return m_position < m_size ? m_data[m_position] : '\0';
}

void JsonReader::fail(const char* error)
{
    if (m_error)
        return;
    m_error = error;
    m_errorOffset = m_position;
}

bool JsonReader::enter(char opening, bool isObject)
{
    if (failed())
        return false;
    if (peek() != opening) {
        skip();
        return false;
    }
    if (m_levels.size() == maxDepth) {
        fail("too deeply nested");
        return false;
    }
    ++m_position;
    m_levels.push_back(Level{isObject});
    return true;
}

bool JsonReader::nextMember(char closing)
{
    if (failed() || m_levels.empty())
        return false;
    Level& level = m_levels.back();
    const char next = peek();
    if (next == closing) {
        ++m_position;
        m_levels.pop_back();
        return false;
    }
    if (!level.first) {
        if (next != ',') {
            fail(closing == '}' ? "missing comma or '}'" : "missing comma or ']'");
            return false;
        }
        ++m_position;
    }
    level.first = false;
    return true;
}

bool JsonReader::nextKeyBytes(QByteArray* utf8)
{
    if (!nextMember('}'))
        return false;
    if (peek() != '"') {
        fail("missing key");
        return false;
    }
    if (!scanString(utf8))
        return false;
    if (peek() != ':') {
        fail("missing colon");
        return false;
    }
    ++m_position;
    return true;
}

bool JsonReader::scanString(QByteArray* utf8)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_data);
    ++m_position; // the opening quote
    qsizetype run = m_position;
    const auto keepRun = [&] {
        if (utf8)
            utf8->append(m_data + run, m_position - run);
    };
    while (m_position < m_size) {
        const unsigned char character = bytes[m_position];
        if (character == '"') {
            keepRun();
            ++m_position;
            return true;
        }
        if (character == '\\') {
            keepRun();
            if (!scanEscape(utf8))
                return false;
            run = m_position;
            continue;
        }
        const qsizetype length = utf8SequenceLength(bytes + m_position, m_size - m_position);
        if (length == 0) {
            fail("invalid UTF-8 in string");
            return false;
        }
        m_position += length;
    }
    fail("unterminated string");
    return false;
}

bool JsonReader::scanEscape(QByteArray* utf8)
{
    ++m_position; // the backslash
    if (m_position == m_size) {
        fail("unterminated string");
        return false;
    }
    char simple = 0;
    switch (m_data[m_position]) {
    case '"': simple = '"'; break;
    case '\\': simple = '\\'; break;
    case '/': simple = '/'; break;
    case 'b': simple = '\b'; break;
    case 'f': simple = '\f'; break;
    case 'n': simple = '\n'; break;
    case 'r': simple = '\r'; break;
    case 't': simple = '\t'; break;
    case 'u': break;
    default:
        fail("illegal escape");
        return false;
    }
    ++m_position;
    if (simple) {
        if (utf8)
            *utf8 += simple;
        return true;
    }

    const std::optional<char32_t> unit = m_size - m_position >= 4 ? hexQuad(m_data + m_position) : std::nullopt;
    if (!unit) {
        fail("illegal escape");
        return false;
    }
    m_position += 4;
    char32_t code = *unit;
    if (isSurrogate(code)) {
        // A high surrogate pairs with the escaped low one right after it; an unpaired one is no character.
        const bool pairFollows = code < 0xDC00 && m_size - m_position >= 6 && m_data[m_position] == '\\' &&
                                 m_data[m_position + 1] == 'u';
        const std::optional<char32_t> low = pairFollows ? hexQuad(m_data + m_position + 2) : std::nullopt;
        if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
            m_position += 6;
        } else {
            code = replacementCharacter;
        }
    }
    if (utf8)
        appendUtf8(*utf8, code);
    return true;
}

std::optional<QByteArrayView> JsonReader::scanNumber()
{
    const qsizetype start = m_position;
    const auto digits = [this] {
        const qsizetype from = m_position;
        while (m_position < m_size && isDigit(m_data[m_position]))
            ++m_position;
        return m_position - from;
    };
    const auto at = [this](char wanted) { return m_position < m_size && m_data[m_position] == wanted; };

    if (at('-'))
        ++m_position;
    bool valid = true;
    if (at('0'))
        ++m_position;
    else
        valid = digits() > 0;
    if (valid && at('.')) {
        ++m_position;
        valid = digits() > 0;
    }
    if (valid && (at('e') || at('E'))) {
        ++m_position;
        if (at('+') || at('-'))
            ++m_position;
        valid = digits() > 0;
    }
    if (!valid) {
        fail("illegal number");
        return std::nullopt;
    }
    return QByteArrayView(m_data + start, m_position - start);
}

bool JsonReader::scanLiteral(const char* literal)
{
    const QByteArrayView wanted(literal);
    if (QByteArrayView(m_data + m_position, std::min(m_size - m_position, wanted.size())) != wanted) {
        fail("illegal value");
        return false;
    }
    m_position += wanted.size();
    return true;
}

} // namespace Tivrand
