#pragma once

#include <QSizeF>

namespace Lumen {

// How an indicator's view is sized over the widget it indicates for.
class IndicatorSizeStrategy {
public:
    enum class Kind { size, intrinsicSize, full };

    // Exactly `size`; a negative or non-finite side counts as 0.
    static IndicatorSizeStrategy size(QSizeF size);
    // The view's own size hint.
    static IndicatorSizeStrategy intrinsicSize() { return IndicatorSizeStrategy(Kind::intrinsicSize, {}); }
    // The whole size of the widget.
    static IndicatorSizeStrategy full() { return IndicatorSizeStrategy(Kind::full, {}); }

    Kind kind() const { return m_kind; }
    // The size of a `size` strategy; empty for the others.
    QSizeF fixedSize() const { return m_size; }

    bool operator==(const IndicatorSizeStrategy&) const = default;

private:
    IndicatorSizeStrategy(Kind kind, QSizeF size) : m_kind(kind), m_size(size) {}

    Kind m_kind;
    QSizeF m_size;
};

} // namespace Lumen
