#pragma once

#include <chrono>
#include <cstdint>
#include <limits>

// Initial values of the library's configurable fields, fixed here once so that every owner
// starts from the same numbers. Owners that are not listed start from their own defaults.
namespace Lumen::Defaults {

// Disk storage: files expire a week after their last access.
inline constexpr std::chrono::days diskStorageExpiration{7};

// Memory storage: no count limit; entries expire five minutes after their last access.
inline constexpr std::int64_t memoryStorageCountLimit = std::numeric_limits<std::int64_t>::max();
inline constexpr std::chrono::seconds memoryStorageExpiration{300};

// Download requests time out after 15 seconds; the platform's default task priority.
inline constexpr double downloadTimeoutSeconds = 15.0;
inline constexpr float downloadPriority = 0.5f;

inline constexpr int prefetcherMaxConcurrentDownloads = 5;
inline constexpr int animatedImageFramePreloadCount = 10;

// Lossless encoding unless a caller asks otherwise; cached images are re-encoded rather
// than kept as their original bytes.
inline constexpr double cacheSerializerCompressionQuality = 1.0;
inline constexpr bool cacheSerializerPrefersOriginalData = false;

// Processor identifiers become part of cache keys and file names.
inline constexpr char defaultImageProcessorIdentifier[] = "";
inline constexpr char blackWhiteProcessorIdentifier[] = "com.vantrel.Lumen.BlackWhiteProcessor";

} // namespace Lumen::Defaults
