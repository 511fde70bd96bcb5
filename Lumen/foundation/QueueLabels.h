#pragma once

// Labels of the library's private serial queues. Each owner instance makes its own queue
// with its label.
namespace Lumen::QueueLabel {

inline constexpr char diskStorageMaybeCachedChecking[] = "com.vantrel.Lumen.maybeCachedCheckingQueue";
inline constexpr char builderProperty[] = "com.vantrel.Lumen.LM.Builder.propertyQueue";
inline constexpr char managerProperty[] = "com.vantrel.Lumen.LumenManagerPropertyQueue";
inline constexpr char downloadTaskProperty[] = "com.vantrel.Lumen.DownloadTaskPropertyQueue";
inline constexpr char imageDownloaderProperty[] = "com.vantrel.Lumen.ImageDownloaderPropertyQueue";
inline constexpr char prefetcherPrefetch[] = "com.vantrel.Lumen.ImagePrefetcher.prefetchQueue";
inline constexpr char retryContextProperty[] = "com.vantrel.Lumen.RetryContextPropertyQueue";
inline constexpr char imageContextProperty[] = "com.vantrel.Lumen.LMImageContextPropertyQueue";
inline constexpr char delegateProperty[] = "com.vantrel.Lumen.DelegateQueue";
// The process-wide queues of downloaded-data processing (concurrent) and of progressive
// decoding (serial).
inline constexpr char imageDownloaderProcess[] = "com.vantrel.Lumen.ImageDownloader.Process";

} // namespace Lumen::QueueLabel
