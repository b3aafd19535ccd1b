#pragma once

#include "core/VtCoreExport.h"

#include <QObject>

// Ends the host's waiting event loops: the host connects its loops' quit to SigQuit. The flag is
// never reset (a new wait needs a new controller) and is not synchronised; receivers in other
// threads get SigQuit through Qt's usual connection rules.
class VTCORE_EXPORT CEventLoopController : public QObject {
    Q_OBJECT

public:
    CEventLoopController();  // no parent, not quit

    // Sets the flag, then emits SigQuit (direct connections run before Quit returns); every call emits.
    void Quit();
    bool IsQuit() const { return m_bQuit; }

signals:
    void SigQuit();

private:
    bool m_bQuit = false;
};
