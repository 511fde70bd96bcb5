#pragma once

#include <QMessageBox>

namespace Tivrand {

// A message box at least as wide as the title a window manager shows for it (the title
// followed by the application's name) together with the title bar's buttons, so the title is
// never cut. Qt sizes message boxes for their bare title only.
class TitledMessageBox : public QMessageBox {
    Q_OBJECT

public:
    TitledMessageBox(Icon icon, const QString& title, const QString& text, QWidget* parent = nullptr);

    // The width the title bar needs.
    int titleBarWidth() const;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace Tivrand
