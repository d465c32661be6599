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
    core::LabelButton *control(const QString &name) { return menu().findChild<core::LabelButton *>(name); }
    QMdiSubWindow *frame(const QString &screen)
    {
        return app.mainWindow().findChild<QMdiSubWindow *>(screen + QStringLiteral("Frame"));
    }
    QColor colour(const QString &name) { return control(name)->textColor(); }
    bool visible(const QString &screen) { return frame(screen)->isVisible(); }
    void click(const QString &name) { QTest::mouseClick(control(name), Qt::LeftButton); }
};

} // namespace testing
