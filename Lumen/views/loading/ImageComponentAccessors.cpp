#include "Lumen/views/loading/ImageComponentAccessors.h"

#include "Lumen/views/loading/ImagePixmap.h"

#include <QStandardItemModel>

namespace Lumen {

void ActionImageAccessor::show(const ImagePtr& image) const
{
    control().setIcon(iconOf(image));
}

bool ActionImageAccessor::showsImage() const
{
    return isReachable() && !control().icon().isNull();
}

bool ToolButtonImageAccessor::showsImage() const
{
    return isReachable() && !control().icon().isNull();
}

void ToolButtonImageAccessor::show(const ImagePtr& image) const
{
    control().setIcon(iconOf(image));
}

void TrayIconImageAccessor::show(const ImagePtr& image) const
{
    QIcon icon = iconOf(image);
    if (icon.isNull()) {
        QPixmap transparent(16, 16);
        transparent.fill(Qt::transparent);
        icon = QIcon(transparent);
    }
    control().setIcon(icon);
}

bool TabImageAccessor::isReachable() const
{
    return m_tabWidget && m_page && m_tabWidget->indexOf(m_page) >= 0;
}

bool TabImageAccessor::showsImage() const
{
    return isReachable() && !m_tabWidget->tabIcon(m_tabWidget->indexOf(m_page)).isNull();
}

std::shared_ptr<ImageSlotState> TabImageAccessor::slotState(bool create) const
{
    return m_page ? attachedSlotState(*m_page, "lumen.tabImage", create) : nullptr;
}

void TabImageAccessor::show(const ImagePtr& image) const
{
    m_tabWidget->setTabIcon(m_tabWidget->indexOf(m_page), iconOf(image));
}

ItemImageAccessor::ItemImageAccessor(const QStandardItem* item)
    : m_index(item ? item->index() : QModelIndex())
{
}

QStandardItem* ItemImageAccessor::item() const
{
    const auto* model = qobject_cast<const QStandardItemModel*>(m_index.model());
    return model && m_index.isValid() ? model->itemFromIndex(m_index) : nullptr;
}

bool ItemImageAccessor::showsImage() const
{
    const QStandardItem* target = item();
    return target && target->data(Qt::DecorationRole).isValid();
}

std::shared_ptr<ImageSlotState> ItemImageAccessor::slotState(bool create) const
{
    QStandardItem* target = item();
    if (!target)
        return nullptr;
    const QVariant stored = target->data(imageSlotStateRole);
    auto state = stored.value<std::shared_ptr<ImageSlotState>>();
    if (!state && create) {
        state = std::make_shared<ImageSlotState>();
        target->setData(QVariant::fromValue(state), imageSlotStateRole);
    }
    return state;
}

void ItemImageAccessor::show(const ImagePtr& image) const
{
    const QIcon icon = iconOf(image);
    item()->setData(icon.isNull() ? QVariant() : QVariant(icon), Qt::DecorationRole);
}

} // namespace Lumen
