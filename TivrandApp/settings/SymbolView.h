#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace Tivrand {

// One icon drawn to sit beside text of `pointSize`, centred in the widget, in a fixed colour or,
// when none is set, in the palette's text colour.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    SymbolView(const QString& symbolName, int pointSize, QWidget* parent = nullptr);

    // The square a symbol is drawn in to sit beside text of `pointSize`. Our icons leave a
    // margin inside their 24-unit box, so the square is a little larger than the font size.
    static int sideFor(int pointSize);

    const QString& symbolName() const { return m_symbolName; }
    void setColor(const QColor& colour);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbolName;
    int m_pointSize;
    QColor m_colour;
};

} // namespace Tivrand
