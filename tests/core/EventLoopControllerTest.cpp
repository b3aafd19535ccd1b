#include "core/EventLoopController.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>

TEST(EventLoopController, QuitEndsALoopWaitingOnAnotherThread) {
    CEventLoopController controller;
    QEventLoop loop;
    QObject::connect(&controller, &CEventLoopController::SigQuit, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    bool timedOut = false;  // a generous deadline so a broken signal fails the test instead of hanging it
    QTimer::singleShot(30000, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    EXPECT_FALSE(controller.IsQuit());
    const std::unique_ptr<QThread> worker(QThread::create([&controller] { controller.Quit(); }));
    worker->start();
    loop.exec();
    worker->wait();
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(controller.IsQuit());
}
