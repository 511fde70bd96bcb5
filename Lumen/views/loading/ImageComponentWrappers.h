#pragma once

#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/views/loading/ImageSlotLoading.h"

class QAction;
class QStandardItem;
class QSystemTrayIcon;
class QTabWidget;
class QToolButton;
class QWidget;

namespace Lumen {

// A tab of a tab widget, named by its page.
struct TabItem {
    QTabWidget* tabWidget = nullptr;
    QWidget* page = nullptr;
};

// The image components: controls that show one image of their own. Their `lm` wrappers load
// that image (ImageSlotLoading), holding the control weakly: menu, toolbar and path-control
// items (QAction), combo buttons and colour wells (QToolButton: its icon, not a button's two
// images), the status item (QSystemTrayIcon), tabs (TabItem), table cells and row actions
// (QStandardItem, followed through its model).

template<>
class LumenWrapper<QAction*> : public LumenWrapperBase<QAction*>, public ImageSlotLoading {
public:
    explicit LumenWrapper(QAction* action);
};

template<>
class LumenWrapper<QToolButton*> : public LumenWrapperBase<QToolButton*>, public ImageSlotLoading {
public:
    explicit LumenWrapper(QToolButton* button);
};

template<>
class LumenWrapper<QSystemTrayIcon*> : public LumenWrapperBase<QSystemTrayIcon*>, public ImageSlotLoading {
public:
    explicit LumenWrapper(QSystemTrayIcon* trayIcon);
};

template<>
class LumenWrapper<TabItem> : public LumenWrapperBase<TabItem>, public ImageSlotLoading {
public:
    explicit LumenWrapper(TabItem tab);
};

template<>
class LumenWrapper<QStandardItem*> : public LumenWrapperBase<QStandardItem*>, public ImageSlotLoading {
public:
    explicit LumenWrapper(QStandardItem* item);
};

inline LumenWrapper<QAction*> lm(QAction* action)
{
    return LumenWrapper<QAction*>(action);
}

inline LumenWrapper<QToolButton*> lm(QToolButton* button)
{
    return LumenWrapper<QToolButton*>(button);
}

inline LumenWrapper<QSystemTrayIcon*> lm(QSystemTrayIcon* trayIcon)
{
    return LumenWrapper<QSystemTrayIcon*>(trayIcon);
}

inline LumenWrapper<TabItem> lm(TabItem tab)
{
    return LumenWrapper<TabItem>(tab);
}

inline LumenWrapper<QStandardItem*> lm(QStandardItem* item)
{
    return LumenWrapper<QStandardItem*>(item);
}

} // namespace Lumen
