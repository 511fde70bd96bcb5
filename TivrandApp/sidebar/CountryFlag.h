#pragma once

#include <QFont>
#include <QString>

namespace Tivrand {

struct Country;

// The country's flag followed by `text`, or `text` alone when no installed font draws flags
// (flag emoji would otherwise show as empty boxes).
QString withFlag(const Country& country, const QString& text, const QFont& font);

} // namespace Tivrand
