#pragma once

namespace Lumen {

// How a newly loaded image appears in a view.
class ImageTransition {
public:
    enum class Kind { fade, none };

    // The default: the image is shown at once.
    ImageTransition() = default;

    static ImageTransition none();
    // A linear fade-in. A negative or non-finite duration counts as 0 (shown at once).
    static ImageTransition fade(double seconds);

    Kind kind() const { return m_kind; }
    bool isFade() const { return m_kind == Kind::fade; }
    // Seconds of the fade; 0 for `none`.
    double duration() const { return m_duration; }
    // The duration in whole milliseconds, for animation APIs that take an int.
    int durationMilliseconds() const;

    bool operator==(const ImageTransition&) const = default;

private:
    ImageTransition(Kind kind, double duration) : m_kind(kind), m_duration(duration) {}

    Kind m_kind = Kind::none;
    double m_duration = 0.0;
};

} // namespace Lumen
