#pragma once

#include <QObject>

namespace Tivrand {

// Quits the application when the quit key is pressed in any of its windows. The main window's
// menu alone does not reach the search sheet, which blocks it, nor the settings window.
// Watches the whole application for as long as it lives.
class QuitKey : public QObject {
    Q_OBJECT

public:
    explicit QuitKey(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace Tivrand
