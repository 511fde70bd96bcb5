#include "Lumen/views/loading/ButtonImageAccessor.h"

#include "Lumen/views/loading/ImagePixmap.h"

namespace Lumen {

namespace {

const char* keyOf(ButtonImageAccessor::Slot slot)
{
    return slot == ButtonImageAccessor::Slot::image ? "lumen.button.image" : "lumen.button.alternateImage";
}

ImagePtr storedImage(QAbstractButton& button, ButtonImageAccessor::Slot slot)
{
    const auto state = attachedSlotState(button, keyOf(slot), false);
    return state ? state->image : nullptr;
}

} // namespace

std::shared_ptr<ImageSlotState> ButtonImageAccessor::slotState(bool create) const
{
    return m_button ? attachedSlotState(*m_button, keyOf(m_slot), create) : nullptr;
}

bool ButtonImageAccessor::showsImage() const
{
    if (!m_button)
        return false;
    const QIcon icon = m_button->icon();
    return m_slot == Slot::image ? !icon.isNull() : !icon.availableSizes(QIcon::Normal, QIcon::On).isEmpty();
}

void ButtonImageAccessor::show(const ImagePtr&) const
{
    QIcon icon;
    for (const auto& [slot, state] : {std::pair(Slot::image, QIcon::Off), std::pair(Slot::alternateImage, QIcon::On)}) {
        const QPixmap pixmap = pixmapOf(storedImage(*m_button, slot));
        if (!pixmap.isNull())
            icon.addPixmap(pixmap, QIcon::Normal, state);
    }
    m_button->setIcon(icon);
}

} // namespace Lumen
