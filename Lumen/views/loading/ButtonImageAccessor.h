#pragma once

#include "Lumen/views/loading/StoredImageAccessor.h"

#include <QAbstractButton>
#include <QPointer>

namespace Lumen {

// One of a button's two images: the image is its icon's Off state, the alternate image its
// On state. Each is kept in a slot of its own, with a request state of its own, and the icon
// is made from both; so an image reads back from its slot, never from the icon, which fills
// a missing state from the other.
class ButtonImageAccessor final : public StoredImageAccessor {
public:
    enum class Slot { image, alternateImage };

    ButtonImageAccessor(QAbstractButton* button, Slot slot) : m_button(button), m_slot(slot) {}

    bool isReachable() const override { return !m_button.isNull(); }
    // Read from the icon's own state, which the program may have set directly.
    bool showsImage() const override;

protected:
    std::shared_ptr<ImageSlotState> slotState(bool create) const override;
    void show(const ImagePtr& image) const override;

private:
    QPointer<QAbstractButton> m_button;
    Slot m_slot;
};

} // namespace Lumen
