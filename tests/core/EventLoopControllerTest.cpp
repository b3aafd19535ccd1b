#include "core/EventLoopController.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

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
    EXPECT_TRUE(controller.IsQuit());
    EXPECT_EQ(controller.parent(), nullptr);
    EXPECT_STREQ(controller.metaObject()->className(), "CEventLoopController");
}

TEST(EventLoopController, EndsAWaitingLoopFromAnotherThread) {
    CEventLoopController controller;
    QEventLoop loop;
    QObject::connect(&controller, &CEventLoopController::SigQuit, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QThread* worker = QThread::create([&controller] { controller.Quit(); });
    QTimer guard;  // a generous deadline so a broken signal fails the test instead of hanging it
    guard.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        loop.quit();
    });
    guard.start(30000);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(controller.IsQuit());
}
