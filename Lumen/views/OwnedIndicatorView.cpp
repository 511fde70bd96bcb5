#include "Lumen/views/OwnedIndicatorView.h"

#include "Lumen/foundation/MainDispatchQueue.h"

namespace Lumen {

void deleteIndicatorView(QWidget* view)
{
    if (!view)
        return;
    if (MainDispatchQueue::isMainThread())
        delete view;
    else
        view->deleteLater();
}

void setIndicatorViewShown(QWidget* view, bool shown)
{
    if (!view || (shown && !view->parentWidget()))
        return;
    if (shown)
        view->raise();
    view->setVisible(shown);
}

} // namespace Lumen
