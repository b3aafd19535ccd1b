#include "core/EventLoopController.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>

TEST(EventLoopController, QuitSetsTheFlagAndEmitsEveryTime) {
    CEventLoopController controller;
    int emitted = 0;
    bool flagSeenBySlot = false;
    QObject::connect(&controller, &CEventLoopController::SigQuit, [&] {
        ++emitted;
        flagSeenBySlot = controller.IsQuit();
    });
    EXPECT_FALSE(controller.IsQuit());
    controller.Quit();
    EXPECT_EQ(emitted, 1);  // direct connection: ran inside Quit
    EXPECT_TRUE(flagSeenBySlot);
    controller.Quit();
    EXPECT_EQ(emitted, 2);
}

TEST(EventLoopController, EndsAWaitingLoopFromAnotherThread) {
    CEventLoopController controller;
    QEventLoop loop;
    QObject::connect(&controller, &CEventLoopController::SigQuit, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    bool timedOut = false;  // a generous deadline so a broken signal fails the test instead of hanging it
    QTimer::singleShot(30000, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    const std::unique_ptr<QThread> worker(QThread::create([&controller] { controller.Quit(); }));
    worker->start();
    loop.exec();
    worker->wait();
    EXPECT_FALSE(timedOut);
}
