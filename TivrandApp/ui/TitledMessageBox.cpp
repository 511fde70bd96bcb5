#include "TivrandApp/ui/TitledMessageBox.h"

#include <QApplication>
#include <QDialogButtonBox>
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
    // Qt sizes the box to its layout's minimum width at every layout change, after this event
    // too; a minimum on the row of buttons, which spans the box, keeps the width the title needs.
    if (auto* buttons = findChild<QDialogButtonBox*>()) {
        const QMargins margins = layout()->contentsMargins() + contentsMargins();
        buttons->setMinimumWidth(titleBarWidth() - margins.left() - margins.right());
    }
    QMessageBox::showEvent(event);
}

} // namespace Tivrand
