#pragma once

#include <QLabel>

namespace Tivrand {

// One line of plain text that ends in "…" when it is wider than the label, whatever width the
// layout gives it; the whole text then shows as its tool tip. `text()` and `setText()` are the
// whole text, which is also what screen readers read. Texts from the catalog are never read as
// markup.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString& text, QWidget* parent = nullptr);

    // The text as it fits the label's current width.
    QString shownText() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace Tivrand
