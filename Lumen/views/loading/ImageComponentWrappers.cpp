#include "Lumen/views/loading/ImageComponentWrappers.h"

#include "Lumen/views/loading/ImageComponentAccessors.h"

namespace Lumen {

LumenWrapper<QAction*>::LumenWrapper(QAction* action)
    : LumenWrapperBase(action)
    , ImageSlotLoading(std::make_shared<ActionImageAccessor>(action), KeepCurrentImage::whenShown)
{
}

LumenWrapper<QToolButton*>::LumenWrapper(QToolButton* button)
    : LumenWrapperBase(button)
    , ImageSlotLoading(std::make_shared<ToolButtonImageAccessor>(button), KeepCurrentImage::whenShown)
{
}

LumenWrapper<QSystemTrayIcon*>::LumenWrapper(QSystemTrayIcon* trayIcon)
    : LumenWrapperBase(trayIcon)
    , ImageSlotLoading(std::make_shared<TrayIconImageAccessor>(trayIcon), KeepCurrentImage::whenShown)
{
}

LumenWrapper<TabItem>::LumenWrapper(TabItem tab)
    : LumenWrapperBase(tab)
    , ImageSlotLoading(std::make_shared<TabImageAccessor>(tab.tabWidget, tab.page), KeepCurrentImage::whenShown)
{
}

LumenWrapper<QStandardItem*>::LumenWrapper(QStandardItem* item)
    : LumenWrapperBase(item)
    , ImageSlotLoading(std::make_shared<ItemImageAccessor>(item), KeepCurrentImage::whenShown)
{
}

} // namespace Lumen
