#include "TivrandApp/ui/TitledMessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLayout>

namespace Tivrand {
namespace {

// A title bar's window icon and its close, minimise and maximise buttons.
constexpr int titleBarControlsWidth = 120;

} // namespace

TitledMessageBox::TitledMessageBox(Icon icon, const QString& title, const QString& text, QWidget* parent)
    : QMessageBox(icon, title, text, NoButton, parent)
{
}

int TitledMessageBox::titleBarWidth() const
{
    // Window managers draw titles in bold; Qt names their font after the title bars it draws itself.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QString shown = windowTitle() + QStringLiteral(" \u2014 ") + QGuiApplication::applicationDisplayName();
    return QFontMetrics(font).horizontalAdvance(shown) + titleBarControlsWidth;
}

void TitledMessageBox::showEvent(QShowEvent* event)
{
    // Sizes the box for its texts.
    QMessageBox::showEvent(event);
    const int needed = titleBarWidth();
    if (width() >= needed)
        return;
    QLayout& grid = *layout();
    setFixedSize(needed, grid.hasHeightForWidth() ? grid.totalHeightForWidth(needed) : height());
}

} // namespace Tivrand
