#pragma once

#include <cstdint>
#include <memory>

namespace Lumen {

class DownloadTask;

// Work that several callers wait on above the callers of one transfer, such as one load of a
// cache entry. Each caller holds a `DownloadTask` made on it, whose cancel withdraws that
// caller alone; the work, and its transfer, stop when no caller is left. Any thread.
class SharedDownload {
public:
    virtual ~SharedDownload() = default;

    // Answers `caller` with a cancel at once, unless it has had its answer already.
    virtual void withdraw(std::uint64_t caller) = 0;
    // The transfer's own task; null until it is known, or when the work has none.
    virtual std::shared_ptr<DownloadTask> transfer() const = 0;
};

} // namespace Lumen
