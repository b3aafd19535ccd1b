#pragma once

class QNetworkReply;

// Runs a local event loop until the reply finishes or `timeoutMs` pass (a precise timer: the limit
// is part of callers' contracts). An unfinished reply is aborted. Returns whether it finished.
// Internal to the library.
bool WaitForReply(QNetworkReply* reply, int timeoutMs);
