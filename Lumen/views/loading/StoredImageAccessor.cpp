#include "Lumen/views/loading/StoredImageAccessor.h"

#include "Lumen/foundation/AttachedValue.h"

#include <QObject>

#include <utility>

namespace Lumen {

std::shared_ptr<ImageSlotState> attachedSlotState(QObject& owner, const char* key, bool create)
{
    const AttachedKey<ImageSlotState> attachedKey{key};
    return create ? attachedValueOrMake(owner, attachedKey) : attachedValue(owner, attachedKey);
}

ImagePtr StoredImageAccessor::image() const
{
    const auto state = slotState(false);
    return state ? state->image : nullptr;
}

void StoredImageAccessor::setImage(ImagePtr image)
{
    const auto state = isReachable() ? slotState(true) : nullptr;
    if (!state)
        return;
    state->image = std::move(image);
    show(state->image);
}

std::shared_ptr<TaskPropertyAccessor> StoredImageAccessor::taskAccessor(bool create) const
{
    const auto state = slotState(create);
    return state ? state->task.accessor() : nullptr;
}

} // namespace Lumen
