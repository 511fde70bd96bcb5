#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace Tivrand {

// Reads a JSON text (RFC 8259, UTF-8) straight from its bytes, value by value, keeping nothing
// but what its caller takes: a catalog answer may run to tens of megabytes of which a record
// uses a few fields, and a document tree of it would cost many times its size. Two things
// peers send are read as Qt's parser reads them: a leading byte order mark, which is passed
// over, and raw control characters inside strings, which are kept as they are.
//
// The caller walks the values in order and consumes each one exactly once: it reads it, enters
// it, or skips it. Reading a value as a type it does not have skips it and gives none, so a
// mistyped key counts as absent. The whole text is checked on the way; after the first fault
// every read gives nothing, and finish() reports it.
class JsonReader {
public:
    // Containers nest at most this deep.
    static constexpr int maxDepth = 512;

    explicit JsonReader(QByteArrayView json);

    // Enters the next value when it is an object (answers true); any other value is skipped.
    bool enterObject();
    // Inside an object: reads the next key into `key`, the value to consume coming next; at the
    // object's end, leaves it and answers false.
    bool nextKey(QString& key);
    // Enters the next value when it is an array (answers true); any other value is skipped.
    bool enterArray();
    // Inside an array: true when an element comes next; at the array's end, leaves it and answers false.
    bool nextElement();

    std::optional<QString> text();
    // None for a number beyond the range of double, which is valid JSON but no value.
    std::optional<double> number();
    // A whole number within the range of int.
    std::optional<int> integer();
    void skip();

    // After the top value: whether the text was valid throughout with nothing but blanks after it.
    bool finish();
    bool failed() const { return m_error != nullptr; }
    // What was wrong and the byte offset where it was found.
    QString errorString() const;
    qsizetype errorOffset() const { return m_errorOffset; }

private:
    struct Level {
        bool isObject;
        bool first = true;
    };

    char peek();
    void fail(const char* error);
    bool expect(char character, const char* error);
    bool enter(char opening, bool isObject);
    // Past the comma between members, if one is due; false at the container's end.
    bool nextMember(char closing);
    // Reads the next key and its colon; keeps the key's UTF-8 in `utf8` unless that is null.
    bool nextKeyBytes(QByteArray* utf8);
    // Reads a string; appends its UTF-8 to `utf8` unless that is null.
    bool scanString(QByteArray* utf8);
    bool scanEscape(QByteArray* utf8);
    // The bytes of a number, checked against the grammar.
    std::optional<QByteArrayView> scanNumber();
    bool scanLiteral(const char* literal);

    const char* m_data;
    qsizetype m_size;
    qsizetype m_position = 0;
    std::vector<Level> m_levels;
    const char* m_error = nullptr;
    qsizetype m_errorOffset = -1;
};

} // namespace Tivrand
