#include "link/screens/commform.h"

#include "core/widgets/digitfilter.h"
#include "core/widgets/labelbutton.h"
#include "link/commsettings.h"
#include "link/link.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace wire {

namespace {
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
    modeLayout->addWidget(m_tcp);
    modeLayout->addWidget(m_serial);
    grid->addWidget(modeBox, 0, 0);

    auto *portBox = new QGroupBox(QStringLiteral("Comm Port"), this);
    m_ports = addChoices(this, portBox, kPorts);
    // A USB adapter or a pseudo-terminal is reached by its device path; when
    // the field is filled it takes the place of the numbered port.
    m_device = new QComboBox(portBox);
    m_device->setObjectName(QStringLiteral("device"));
    m_device->setEditable(true);
    listDevices();
    m_device->setToolTip(QStringLiteral("Device used instead of the numbered port when filled in"));
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
    ipLayout->addWidget(new QLabel(QStringLiteral("IP Address"), ipBox), 0, 0);
    ipLayout->addWidget(m_ip, 0, 1);
    ipLayout->addWidget(new QLabel(QStringLiteral("Port"), ipBox), 1, 0);
    ipLayout->addWidget(m_tcpPort, 1, 1);
    grid->addWidget(ipBox, 1, 0, 1, 3);

    auto *connectLabel = new core::LabelButton(QStringLiteral("Connect to Port"), this);
    connectLabel->setObjectName(QStringLiteral("Label10"));
    auto *disconnectLabel = new core::LabelButton(QStringLiteral("Disconnect"), this);
    disconnectLabel->setObjectName(QStringLiteral("Label7"));
    QFont bold = connectLabel->font();
    bold.setBold(true);
    connectLabel->setFont(bold);
    disconnectLabel->setFont(bold);
    grid->addWidget(connectLabel, 2, 0);
    grid->addWidget(disconnectLabel, 2, 1);
    m_why = new QLabel(this);
    m_why->setObjectName(QStringLiteral("openFailure"));
    m_why->setWordWrap(true);
    m_why->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_why, 3, 0, 1, 3);
    grid->setRowStretch(4, 1);

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
    connect(m_ports, &QButtonGroup::idClicked, this, [&comm](int id) { comm.port = id; });
    connect(m_bauds, &QButtonGroup::idClicked, this, [&comm](int id) { comm.baud = id; });
    connect(m_ip, &QLineEdit::textChanged, this, [&comm](const QString &t) { comm.ipAddress = t; });
    connect(m_tcpPort, &QLineEdit::textChanged, this, [&comm](const QString &t) { comm.tcpPort = t; });
    connect(m_device, &QComboBox::currentTextChanged, this, [&comm](const QString &t) { comm.device = t; });

    // A click while another operation holds the link is refused.
    connect(connectLabel, &core::LabelButton::clicked, this, [this] {
        LinkClaim claim(m_services.link);
        if (claim.claimed()) {
            m_services.link.ConnectLink();
            m_why->setText(m_services.link.openFailure());
        }
    });
    connect(disconnectLabel, &core::LabelButton::clicked, this, [this] {
        LinkClaim claim(m_services.link);
        if (claim.claimed())
            m_services.link.DisconnectLink();
    });
}

void CommForm::listDevices()
{
    const QString typed = m_device->currentText();
    const QSignalBlocker quiet(m_device);
    m_device->clear();
    m_device->addItem(QString());
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        m_device->addItem(info.systemLocation());
    m_device->setCurrentText(typed);
}

void CommForm::showEvent(QShowEvent *event)
{
    listDevices();
    QWidget::showEvent(event);
}

void CommForm::refreshFromModel()
{
    const auto &comm = m_services.comm;
    m_tcp->setChecked(comm.mode == CommSettings::Mode::Tcp);
    m_serial->setChecked(comm.mode == CommSettings::Mode::Serial);
    if (auto *b = m_ports->button(comm.port))
        b->setChecked(true);
    if (auto *b = m_bauds->button(comm.baud))
        b->setChecked(true);
    m_ip->setText(comm.ipAddress);
    m_tcpPort->setText(comm.tcpPort);
    m_device->setCurrentText(comm.device);
}

} // namespace wire
