#include "core/EventLoopController.h"

CEventLoopController::CEventLoopController() : QObject(nullptr) {}

void CEventLoopController::Quit() {
    m_bQuit = true;
    emit SigQuit();
}
