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
    // Menu entries and screen frames by control name, as a user's script would see them.
    core::LabelButton *control(const char *name)
    {
        return menu().findChild<core::LabelButton *>(QString::fromLatin1(name));
    }
    QMdiSubWindow *frame(const char *screen)
    {
        return app.mainWindow().findChild<QMdiSubWindow *>(QString::fromLatin1(screen) + QStringLiteral("Frame"));
    }
    QColor colour(const char *name) { return control(name)->textColor(); }
    bool visible(const char *screen) { return frame(screen)->isVisible(); }
    void click(const char *name) { QTest::mouseClick(control(name), Qt::LeftButton); }
};

} // namespace testing
