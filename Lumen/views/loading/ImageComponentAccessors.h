#pragma once

#include "Lumen/views/loading/StoredImageAccessor.h"

#include <QAction>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStandardItem>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolButton>

namespace Lumen {

// The accessors of the image components: controls that show one image of their own. Each
// keeps its image and request state on the control and holds the control weakly.

// Where a control that is a QObject keeps them.
inline constexpr char imageComponentKey[] = "lumen.imageComponent";

template<class Control>
class ObjectImageAccessor : public StoredImageAccessor {
public:
    explicit ObjectImageAccessor(Control* control) : m_control(control) {}

    bool isReachable() const override { return !m_control.isNull(); }

protected:
    std::shared_ptr<ImageSlotState> slotState(bool create) const override
    {
        return m_control ? attachedSlotState(*m_control, imageComponentKey, create) : nullptr;
    }
    Control& control() const { return *m_control; }

private:
    QPointer<Control> m_control;
};

// Menu, toolbar and path-control items: the action's icon.
class ActionImageAccessor final : public ObjectImageAccessor<QAction> {
public:
    using ObjectImageAccessor::ObjectImageAccessor;

    bool showsImage() const override;

protected:
    void show(const ImagePtr& image) const override;
};

// Combo buttons and colour wells: the tool button's icon.
class ToolButtonImageAccessor final : public ObjectImageAccessor<QToolButton> {
public:
    using ObjectImageAccessor::ObjectImageAccessor;

    bool showsImage() const override;

protected:
    void show(const ImagePtr& image) const override;
};

// The status item: the tray icon. No image shows as a transparent icon, since a null icon
// hides the tray icon.
class TrayIconImageAccessor final : public ObjectImageAccessor<QSystemTrayIcon> {
public:
    using ObjectImageAccessor::ObjectImageAccessor;

protected:
    void show(const ImagePtr& image) const override;
};

// A tab's icon, the tab found by its page since indexes shift as tabs come and go. Kept on
// the page; out of reach while the page is in no tab of the tab widget.
class TabImageAccessor final : public StoredImageAccessor {
public:
    TabImageAccessor(QTabWidget* tabWidget, QWidget* page) : m_tabWidget(tabWidget), m_page(page) {}

    bool isReachable() const override;
    bool showsImage() const override;

protected:
    std::shared_ptr<ImageSlotState> slotState(bool create) const override;
    void show(const ImagePtr& image) const override;

private:
    QPointer<QTabWidget> m_tabWidget;
    QPointer<QWidget> m_page;
};

// Table cells and row actions: a model item's decoration, the item followed through a
// persistent index (so an item in no model is out of reach). Kept in the item's data under
// `imageSlotStateRole`.
class ItemImageAccessor final : public StoredImageAccessor {
public:
    static constexpr int imageSlotStateRole = Qt::UserRole + 0x4C756D;

    explicit ItemImageAccessor(const QStandardItem* item);

    bool isReachable() const override { return item() != nullptr; }
    bool showsImage() const override;

protected:
    std::shared_ptr<ImageSlotState> slotState(bool create) const override;
    void show(const ImagePtr& image) const override;

private:
    QStandardItem* item() const;

    QPersistentModelIndex m_index;
};

} // namespace Lumen
