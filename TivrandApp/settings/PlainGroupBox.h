#pragma once

#include <QFrame>

class QVBoxLayout;

namespace Tivrand {

// A borderless group box: its content stacked top to bottom, aligned to the leading edge, on
// the control background in a rounded rectangle with a faint shadow below.
class PlainGroupBox : public QFrame {
    Q_OBJECT

public:
    explicit PlainGroupBox(QWidget* parent = nullptr);

    // Where the box's content goes; its margins and spacing are the content's own.
    QVBoxLayout& contentLayout() const { return *m_contentLayout; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_contentLayout;
};

} // namespace Tivrand
