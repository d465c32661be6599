#pragma once

#include "app/application.h"
#include "app/commandmenu.h"
#include "core/widgets/labelbutton.h"
#include "link/fake/fakeio.h"
#include "tests/common/recorders.h"

#include <QMdiSubWindow>
#include <QTest>

namespace testing {

// The whole program over fake transports on the virtual clock, with recorders
// for its message boxes and file dialogs. Tests that use it link tarnic_app.
struct AppRig {
    wire::fake::VirtualWaiter waiter;
    wire::fake::FakeSerialIo serial{waiter};
    wire::fake::FakeTcpIo tcp{waiter};
    Recorder ui;
    app::Application app{{waiter, serial, tcp, &ui, &ui}};

    app::CommandMenu &menu() { return app.mainWindow().commandMenu(); }
    QColor colour(const char *control) { return menu().entry(QString::fromLatin1(control))->textColor(); }
    bool visible(const char *screen) { return app.mainWindow().frame(QString::fromLatin1(screen))->isVisible(); }
    void click(const char *control) { QTest::mouseClick(menu().entry(QString::fromLatin1(control)), Qt::LeftButton); }
};

} // namespace testing
