#include "TivrandApp/sidebar/CountryFlag.h"

#include "TivrandApp/models/Country.h"

#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>

namespace Tivrand {
namespace {

// Whether `font`, with its fallbacks, has glyphs for a flag (two regional indicator letters).
bool drawsFlags(const QFont& font)
{
    static QHash<QString, bool> answers; // GUI thread only, like every font use
    const QString key = font.key();
    if (const auto known = answers.constFind(key); known != answers.constEnd())
        return *known;

    QTextLayout layout(QStringLiteral("\U0001F1FA\U0001F1F8"), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    bool draws = !runs.isEmpty();
    for (const QGlyphRun& run : runs) {
        for (const quint32 glyph : run.glyphIndexes())
            draws = draws && glyph != 0;
    }
    answers.insert(key, draws);
    return draws;
}

} // namespace

QString withFlag(const Country& country, const QString& text, const QFont& font)
{
    if (country.countryFlag.isEmpty() || !drawsFlags(font))
        return text;
    return country.countryFlag + QLatin1Char(' ') + text;
}

} // namespace Tivrand
