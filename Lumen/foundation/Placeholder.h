#pragma once

class QWidget;

namespace Lumen {

// Shown by an image view while its image loads: added when loading starts and removed
// when the image arrives. GUI thread only.
class Placeholder {
public:
    virtual ~Placeholder() = default;

    virtual void addTo(QWidget& imageView) = 0;
    virtual void removeFrom(QWidget& imageView) = 0;

protected:
    Placeholder() = default;
    Placeholder(const Placeholder&) = default;
    Placeholder& operator=(const Placeholder&) = default;
};

} // namespace Lumen
