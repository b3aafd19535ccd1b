#include "core/ReplyWait_p.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QTimer>

bool WaitForReply(QNetworkReply* reply, int timeoutMs) {
    if (reply == nullptr) return false;
    if (!reply->isFinished()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        // A coarse timer may fire up to 5 % early.
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (reply->isFinished()) return true;
    reply->abort();
    return false;
}
