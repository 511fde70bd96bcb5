#pragma once

#include <QObject>

#include <cstdint>

namespace Lumen {

// How far the download of one `LMImage` load has come, for a placeholder to show. Each load
// gets a new one. GUI thread only.
class LMImageProgress final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Bytes expected; 0 while unknown.
    std::int64_t totalUnitCount() const { return m_totalUnitCount; }
    std::int64_t completedUnitCount() const { return m_completedUnitCount; }
    // 0 to 1; 0 while the total is unknown.
    double fractionCompleted() const;

    void update(std::int64_t completedUnitCount, std::int64_t totalUnitCount);

signals:
    void changed();

private:
    std::int64_t m_totalUnitCount = 0;
    std::int64_t m_completedUnitCount = 0;
};

} // namespace Lumen
