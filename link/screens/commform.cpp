#include "link/screens/commform.h"

#include "core/widgets/digitfilter.h"
#include "core/widgets/labelbutton.h"
#include "link/commsettings.h"
#include "link/link.h"
#include "link/recentlinks.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

namespace wire {

namespace {
constexpr std::chrono::seconds kDevicePoll{1};

struct Choice {
    const char *control;
    const char *caption;
    int value;
};
// Control names as the screen has always had them; note they do not follow
// the captions' order.
constexpr Choice kPorts[] = {
    {"Option5", "1", 1}, {"Option8", "2", 2}, {"Option6", "3", 3}, {"Option9", "4", 4}, {"Option7", "5", 5}};
constexpr Choice kBauds[] = {{"Option11", "9600", 9600},
                             {"Option10", "19200", 19200},
                             {"Option3", "38400", 38400},
                             {"Option4", "57600", 57600},
                             {"Option12", "115200", 115200}};

QButtonGroup *addChoices(QWidget *owner, QGroupBox *box, const Choice (&choices)[5])
{
    auto *group = new QButtonGroup(owner);
    auto *layout = new QVBoxLayout(box);
    for (const Choice &c : choices) {
        auto *button = new QRadioButton(QString::fromLatin1(c.caption), box);
        button->setObjectName(QString::fromLatin1(c.control));
        group->addButton(button, c.value);
        layout->addWidget(button);
    }
    return group;
}
} // namespace

CommForm::CommForm(screens::Services &services, QWidget *parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("commform"));
    setWindowTitle(QStringLiteral("Communications"));
    auto *grid = new QGridLayout(this);

    auto *modeBox = new QGroupBox(QStringLiteral("Comm Mode"), this);
    auto *modeLayout = new QVBoxLayout(modeBox);
    m_tcp = new QRadioButton(QStringLiteral("TCP/IP"), modeBox);
    m_tcp->setObjectName(QStringLiteral("Option1"));
    m_serial = new QRadioButton(QStringLiteral("Serial Port"), modeBox);
    m_serial->setObjectName(QStringLiteral("Option2"));
    // Ours: a serial line behind a device server, on the address and port
    // below at the baud rate chosen beside.
    m_deviceServer = new QRadioButton(QStringLiteral("Device server (RFC 2217)"), modeBox);
    m_deviceServer->setObjectName(QStringLiteral("deviceServer"));
    modeLayout->addWidget(m_tcp);
    modeLayout->addWidget(m_serial);
    modeLayout->addWidget(m_deviceServer);
    grid->addWidget(modeBox, 0, 0);

    auto *portBox = new QGroupBox(QStringLiteral("Comm Port"), this);
    m_ports = addChoices(this, portBox, kPorts);
    // A USB adapter or a pseudo-terminal is reached by its device path; when
    // the field is filled it takes the place of the numbered port.
    m_device = new QComboBox(portBox);
    m_device->setObjectName(QStringLiteral("device"));
    m_device->setEditable(true);
    // A typed path stays a typed path; Enter must not add it as a list entry.
    m_device->setInsertPolicy(QComboBox::NoInsert);
    // By-id names are long: the field keeps the column narrow, the list shows them whole.
    m_device->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_device->setMinimumContentsLength(14);
    m_device->lineEdit()->setPlaceholderText(QStringLiteral("numbered port"));
    listDevices();
    m_device->setToolTip(QStringLiteral("Device used instead of the numbered port when filled in"));
    m_devicePoll = new QTimer(this);
    m_devicePoll->setObjectName(QStringLiteral("devicePoll"));
    m_devicePoll->setInterval(kDevicePoll);
    connect(m_devicePoll, &QTimer::timeout, this, &CommForm::listDevices);
    portBox->layout()->addWidget(new QLabel(QStringLiteral("Device"), portBox));
    portBox->layout()->addWidget(m_device);
    grid->addWidget(portBox, 0, 1);

    auto *baudBox = new QGroupBox(QStringLiteral("Baud Rate"), this);
    m_bauds = addChoices(this, baudBox, kBauds);
    grid->addWidget(baudBox, 0, 2);

    auto *ipBox = new QGroupBox(QStringLiteral("IP Settings"), this);
    auto *ipLayout = new QGridLayout(ipBox);
    m_ip = new QLineEdit(ipBox);
    m_ip->setObjectName(QStringLiteral("Text1"));
    m_tcpPort = new QLineEdit(ipBox);
    m_tcpPort->setObjectName(QStringLiteral("Text3"));
    core::DigitFilter::install(m_tcpPort);
    m_recentAddresses = new QStringListModel(recentAddresses(), this);
    m_ip->setCompleter(new QCompleter(m_recentAddresses, m_ip));
    ipLayout->addWidget(new QLabel(QStringLiteral("IP Address"), ipBox), 0, 0);
    ipLayout->addWidget(m_ip, 0, 1);
    ipLayout->addWidget(new QLabel(QStringLiteral("Port"), ipBox), 1, 0);
    ipLayout->addWidget(m_tcpPort, 1, 1);
    grid->addWidget(ipBox, 1, 0, 1, 3);

    auto *connectLabel = new core::LabelButton(QStringLiteral("Connect to Port"), this);
    connectLabel->setObjectName(QStringLiteral("Label10"));
    connectLabel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this, Qt::WidgetWithChildrenShortcut);
    auto *disconnectLabel = new core::LabelButton(QStringLiteral("Disconnect"), this);
    disconnectLabel->setObjectName(QStringLiteral("Label7"));
    disconnectLabel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), this, Qt::WidgetWithChildrenShortcut);
    // Shown only while a TCP connect waits for its peer.
    m_cancel = new core::LabelButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelConnect"));
    m_cancel->hide();
    grid->addWidget(connectLabel, 2, 0);
    grid->addWidget(disconnectLabel, 2, 1);
    grid->addWidget(m_cancel, 2, 2);
    m_why = new QLabel(this);
    m_why->setObjectName(QStringLiteral("openFailure"));
    m_why->setWordWrap(true);
    m_why->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_why, 3, 0, 1, 3);
    grid->setRowStretch(4, 1);
    // Enter in the address or port connects.
    connect(m_ip, &QLineEdit::returnPressed, connectLabel, &core::LabelButton::clicked);
    connect(m_tcpPort, &QLineEdit::returnPressed, connectLabel, &core::LabelButton::clicked);

    refreshFromModel();

    auto &comm = m_services.comm;
    connect(m_tcp, &QRadioButton::toggled, this, [&comm](bool on) {
        if (on)
            comm.mode = CommSettings::Mode::Tcp;
    });
    connect(m_serial, &QRadioButton::toggled, this, [&comm](bool on) {
        if (on)
            comm.mode = CommSettings::Mode::Serial;
    });
    connect(m_deviceServer, &QRadioButton::toggled, this, [&comm](bool on) {
        if (on)
            comm.mode = CommSettings::Mode::Rfc2217;
    });
    connect(m_ports, &QButtonGroup::idClicked, this, [this, &comm](int id) {
        comm.port = id;
        // Picking a numbered port means that port: the device gives way.
        m_device->setEditText(QString());
        showPortChoice();
    });
    connect(m_bauds, &QButtonGroup::idClicked, this, [&comm](int id) { comm.baud = id; });
    connect(m_ip, &QLineEdit::textChanged, this, [&comm](const QString &t) { comm.ipAddress = t; });
    connect(m_tcpPort, &QLineEdit::textChanged, this, [&comm](const QString &t) { comm.tcpPort = t; });
    connect(m_device, &QComboBox::currentTextChanged, this, [this, &comm](const QString &t) {
        comm.device = devicePathFor(t);
        showPortChoice();
    });

    // A click while another operation holds the link is refused.
    connect(connectLabel, &core::LabelButton::clicked, this, [this] {
        LinkClaim claim(m_services.link);
        if (claim.claimed()) {
            const bool wasConnected = m_services.link.isConnected();
            // The last attempt's failure is history once a new one starts.
            m_why->clear();
            m_services.link.ConnectLink();
            endConnecting();
            m_why->setText(m_services.link.openFailure());
            if (!wasConnected && m_services.link.isConnected())
                rememberWhatOpened();
        }
    });
    connect(&m_services.link, &Link::connecting, this, &CommForm::showConnecting);
    connect(m_cancel, &core::LabelButton::clicked, &m_services.link, &Link::cancelConnect);
    connect(disconnectLabel, &core::LabelButton::clicked, this, [this] {
        LinkClaim claim(m_services.link);
        if (claim.claimed())
            m_services.link.DisconnectLink();
    });
}

// The wait for a TCP peer takes up to 3 seconds: say so at once, and offer a
// way out (the keyboard goes to it, and comes back after).
void CommForm::showConnecting(const QString &peer)
{
    m_why->setText(QStringLiteral("Connecting to %1\u2026").arg(peer));
    m_focusBeforeConnect = focusWidget();
    m_cancel->show();
    m_cancel->setFocus(Qt::OtherFocusReason);
    if (isVisible())
        repaint();
}

void CommForm::endConnecting()
{
    if (m_cancel->isHidden())
        return;
    m_cancel->hide();
    if (m_focusBeforeConnect)
        m_focusBeforeConnect->setFocus(Qt::OtherFocusReason);
}

void CommForm::setPortLister(PortLister lister)
{
    m_listPorts = std::move(lister);
    listDevices();
}

void CommForm::listDevices()
{
    QList<SerialPort> ports = m_listPorts();
    QStringList recent = recentDevices();
    // Rebuild only on a change, and never under an open list.
    if ((ports == m_listedPorts && recent == m_listedRecent) || m_device->view()->isVisible())
        return;
    m_listedPorts = std::move(ports);
    m_listedRecent = std::move(recent);
    {
        const QSignalBlocker quiet(m_device);
        m_device->clear();
        for (const SerialPort &port : std::as_const(m_listedPorts)) {
            m_device->addItem(port.label(), port.path());
            m_device->setItemData(m_device->count() - 1, port.location, Qt::ToolTipRole);
        }
        for (const QString &path : std::as_const(m_listedRecent))
            if (m_device->findData(path) < 0)
                m_device->addItem(path, path);
    }
    showDevice();
}

QString CommForm::devicePathFor(const QString &text) const
{
    const int at = m_device->findText(text, Qt::MatchExactly);
    return at < 0 ? text : m_device->itemData(at).toString();
}

void CommForm::showDevice()
{
    const QString &device = m_services.comm.device;
    const int at = device.isEmpty() ? -1 : m_device->findData(device);
    const QSignalBlocker quiet(m_device);
    m_device->setCurrentIndex(at);
    if (at < 0)
        m_device->setEditText(device);
}

void CommForm::showPortChoice()
{
    const auto &comm = m_services.comm;
    QAbstractButton *chosen = comm.deviceInUse().isEmpty() ? m_ports->button(comm.port) : nullptr;
    // An exclusive group cannot be left with nothing checked.
    m_ports->setExclusive(false);
    for (QAbstractButton *button : m_ports->buttons())
        button->setChecked(button == chosen);
    m_ports->setExclusive(true);
}

void CommForm::rememberWhatOpened()
{
    const auto &opened = m_services.link.opened();
    if (!opened)
        return;
    if (opened->kind() != LinkKind::Serial) {
        rememberAddress(opened->host());
        m_recentAddresses->setStringList(recentAddresses());
    } else if (!m_services.comm.deviceInUse().isEmpty()) {
        rememberDevice(opened->device());
        listDevices();
    }
}

void CommForm::showEvent(QShowEvent *event)
{
    listDevices();
    m_devicePoll->start();
    QWidget::showEvent(event);
}

void CommForm::hideEvent(QHideEvent *event)
{
    m_devicePoll->stop();
    QWidget::hideEvent(event);
}

void CommForm::refreshFromModel()
{
    const auto &comm = m_services.comm;
    m_tcp->setChecked(comm.mode == CommSettings::Mode::Tcp);
    m_serial->setChecked(comm.mode == CommSettings::Mode::Serial);
    m_deviceServer->setChecked(comm.mode == CommSettings::Mode::Rfc2217);
    showPortChoice();
    if (auto *b = m_bauds->button(comm.baud))
        b->setChecked(true);
    m_ip->setText(comm.ipAddress);
    m_tcpPort->setText(comm.tcpPort);
    showDevice();
}

} // namespace wire
