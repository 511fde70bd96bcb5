#pragma once

#include "Lumen/views/loading/ImagePropertyAccessor.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"

class QObject;

namespace Lumen {

// What an object keeps for one of its images: the image as given and its request state.
struct ImageSlotState {
    TaskPropertyHolder task;
    ImagePtr image;
};

// The slot kept on `owner` under the dynamic property `key`; made when missing and `create`.
std::shared_ptr<ImageSlotState> attachedSlotState(QObject& owner, const char* key, bool create);

// An accessor that keeps the image in an `ImageSlotState` on the object and reads it back
// from there, whatever the platform draws for it.
class StoredImageAccessor : public ImagePropertyAccessor {
public:
    ImagePtr image() const final;
    void setImage(ImagePtr image) final;
    std::shared_ptr<TaskPropertyAccessor> taskAccessor(bool create) const final;

protected:
    // Null when the object is gone, or when none was kept and `create` is false.
    virtual std::shared_ptr<ImageSlotState> slotState(bool create) const = 0;
    // Shows the slot's image (null: none) on the object, which is reachable.
    virtual void show(const ImagePtr& image) const = 0;
};

} // namespace Lumen
