#pragma once

#include "storage/TaskEnums.h"
#include "tools/vtcore/TileSource.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class CIdxFileDepository;

namespace VtCli {

struct DownloadOptions {
    int threads = 8;           // concurrent requests (one connection each)
    int retries = 3;           // further attempts after a failed one
    int backoffMs = 250;       // delay before the first retry; doubles with each further retry
    int maxBackoffMs = 8000;
    double ratePerSecond = 0;  // request starts per second over all threads; 0 = unlimited
    int timeoutMs = 15000;     // whole request, connection to last byte
    int invalidImageSize = 0;  // length of the provider's "no tile" image; 0 = none
    bool acceptAnyBody = false;  // elevation tiles are not images
    bool retryAbsent = false;    // ask again for tiles recorded as absent at the source
    int maxRetryAfterMs = 600000;  // longest Retry-After pause honoured
};

// Slot state of a tile the source does not have (HTTP 404 or 410, an empty answer, the provider's
// "no tile" image, a file that is not there). The library reads it as a slot without data
// (QUERY_NO_DATA) that IsNeedDownload leaves alone, so no reader takes it for a tile and no
// downloader asks for it again unless told to.
constexpr ENUM_BLOCK_STATE kBlockAbsent = static_cast<ENUM_BLOCK_STATE>(4);

// Tile counts of one run. present + stored + failed + absent + knownAbsent + unreadable + (what is
// left) = planned.
struct DownloadCounts {
    long long planned = 0;   // tiles of the selected levels inside the region
    long long present = 0;   // had data before this run
    long long stored = 0;    // written in this run
    long long failed = 0;    // given up after the retries; marked for another run
    long long absent = 0;    // found absent at the source in this run (404, 410, empty, "no tile" image)
    long long knownAbsent = 0;  // recorded absent by an earlier run and not asked for again
    long long unreadable = 0;  // slots whose state could not be read; left alone
    long long requests = 0;  // attempts, retries included
    long long bytes = 0;     // tile bytes written
};

// Tiles given up for one reason ("connection refused", "HTTP 503", "not an image", ...).
struct FailureGroup {
    QString reason;
    long long count = 0;
    QString exampleUrl;  // the first tile that failed so
};

enum class DownloadEnd {
    Finished,     // every tile was tried
    Interrupted,  // the stop flag was raised; tiles in flight were finished or dropped whole
    WriteFailed,  // the depository refused a write (disk full, file gone)
};

// Fetches the tiles of an open, writable depository whose slots need data (waiting, failed or
// damaged; see IsNeedDownload), on `threads` threads, each with its own kept-alive connections
// (plain http) or network manager (https, file). A tile's bytes are written (appended, then the
// slot repointed) by the thread that fetched them, so every tile is either complete in the
// depository or not there. Failures are marked BLOCK_EMPTY, tiles the source does not have
// kBlockAbsent. Every failure is written to the library's log with its URL and reason. A 429 or
// 503 answer with Retry-After holds every thread's next request until that time.
class CTileDownloader {
public:
    CTileDownloader(CIdxFileDepository& depository, const ITileSource& source, const DownloadOptions& options);
    ~CTileDownloader();
    CTileDownloader(const CTileDownloader&) = delete;
    CTileDownloader& operator=(const CTileDownloader&) = delete;

    // Runs to the end. `progress` is called on the calling thread about every intervalMs and once
    // at the end. `stop` may be raised from any thread or a signal handler.
    DownloadEnd Run(const std::atomic<bool>& stop, const std::function<void(const DownloadCounts&)>& progress,
                    int intervalMs);
    DownloadCounts Counts() const;
    QString LastError() const;  // why a write failed
    // The failed tiles grouped by reason, the largest group first.
    std::vector<FailureGroup> Failures() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Whether bytes are a complete PNG, JPEG, GIF or WebP image by their signatures and end markers
// (a body cut short by a dropped connection fails).
bool LooksLikeImage(const QByteArray& bytes);

}  // namespace VtCli
