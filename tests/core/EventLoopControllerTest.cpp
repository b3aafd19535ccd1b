#include "CoreTest.h"
#include "core/EventLoopController.h"

#include <QEventLoop>
#include <QTimer>

TEST(EventLoopController, QuitEndsALoopWaitingOnAnotherThread) {
    CEventLoopController controller;
    QEventLoop loop;
    QObject::connect(&controller, &CEventLoopController::SigQuit, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer::singleShot(30000, &loop, [&] { loop.exit(1); });  // a broken signal fails the test instead of hanging it
    EXPECT_FALSE(controller.IsQuit());
    std::thread worker([&controller] { controller.Quit(); });
    EXPECT_EQ(loop.exec(), 0);
    worker.join();
    EXPECT_TRUE(controller.IsQuit());
}
