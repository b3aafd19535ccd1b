#pragma once

#include "tools/vtcore/TileSource.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

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
};

// Tile counts of one run. present + stored + failed + missing + (what is left) = planned.
struct DownloadCounts {
    long long planned = 0;   // tiles of the selected levels inside the region
    long long present = 0;   // had data before this run
    long long stored = 0;    // written in this run
    long long failed = 0;    // given up after the retries; marked for another run
    long long missing = 0;   // the source has no such tile (404, empty, "no tile" image); marked
    long long unreadable = 0;  // slots whose state could not be read; left alone
    long long requests = 0;  // attempts, retries included
    long long bytes = 0;     // tile bytes written
};

enum class DownloadEnd {
    Finished,     // every tile was tried
    Interrupted,  // the stop flag was raised; tiles in flight were finished or dropped whole
    WriteFailed,  // the depository refused a write (disk full, file gone)
};

// Fetches the tiles of an open, writable depository whose slots need data (waiting, failed or
// damaged; see IsNeedDownload), on `threads` threads with their own network managers. A tile's
// bytes are written (appended, then the slot repointed) by the thread that fetched them, so every
// tile is either complete in the depository or absent. Failures are marked BLOCK_EMPTY.
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

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Whether bytes are a complete PNG, JPEG, GIF or WebP image by their signatures and end markers
// (a body cut short by a dropped connection fails).
bool LooksLikeImage(const QByteArray& bytes);

}  // namespace VtCli
