#include "TivrandApp/settings/SettingsWindow.h"

#include "TivrandApp/app/WindowStyle.h"
#include "TivrandApp/settings/SettingsView.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

namespace Tivrand {
namespace {

QWidget* makeSettingsWindow(QWidget* parent)
{
    // A dialog, not a plain window: only then is the window manager told that it belongs to its
    // owner (kept above it, and raised with it), and screen readers that it is a window at all.
    auto* window = new QDialog(parent);
    window->setObjectName(QStringLiteral("SettingsWindow"));
    window->setWindowTitle(QStringLiteral("Settings"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsView(SettingsView::SettingsTab::account, window), 0, Qt::AlignCenter);
    applyMinimumWindowSize(*window);
    window->resize(window->minimumSize());
    // As desktop settings windows do, besides the dialog's own Escape; closing only hides it.
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), window, window, &QWidget::close);

    // A window without a parent would otherwise outlive the application object.
    if (!parent)
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, [window] { delete window; });
    return window;
}

// Window managers place a window of another where they like, often in a corner of the screen.
void centreOver(QWidget& window, const QWidget& owner)
{
    QRect frame(QPoint(), window.size());
    frame.moveCenter(owner.window()->frameGeometry().center());
    window.move(frame.topLeft());
}

} // namespace

void showSettingsWindow(QWidget* parent)
{
    static QPointer<QWidget> window;
    if (!window) {
        window = makeSettingsWindow(parent);
        if (parent)
            centreOver(*window, *parent);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Tivrand
