#include "mainwindow.h"

#include "app/singleinstance.h"
#include "config/sharedconfig.h"
#include "engine/openvpn/cvpnproc.h"
#include "engine/openvpn/openvpnengine.h"
#include "engine/openvpn/openvpnengines.h"
#include "engine/ras/rasapi.h"
#include "network/networkendpoints.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QIntValidator>
#include <QMenu>
#include <QMessageBox>
#include <QStringListModel>
#include <QTimer>

namespace {

const char *const kFacebookUrl = "https://www.facebook.com/orvidudaru";
const char *const kTwitterUrl = "https://twitter.com/orvidudaru";
const char *const kSupportUrl = "https://www.orvidudaru.net/support/ticket";

} // namespace

MainWindow::MainWindow(QWidget *parent, SharedConfig *config, RasApi *backend)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , cfg(config ? config : &SharedConfig::instance())
    , publicIpUrl(defaultPublicIpUrl())
    , publicIpInfoHost(defaultPublicIpInfoHost())
    , pingHost(defaultPingHost())
    , rasApi(backend)
{
    // The images sit in this static library; nothing else would pull them into the program.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);

    connectionState = Disconnected;
    displayedState = Disconnected;
    connectedSeconds = 0;

    connect(ui->VpnInfoListBox, SIGNAL(clicked(const QModelIndex &)), this, SLOT(onSelectVpnInfo()));
    connect(ui->ConnectButton, SIGNAL(clicked()), this, SLOT(onConnect()));
    connect(ui->VpnInfoDetailListBox, SIGNAL(clicked(const QModelIndex &)), this, SLOT(onSelectVpnInfoDetails()));
    connect(ui->VpnInfoDetailListBox, SIGNAL(doubleClicked(const QModelIndex &)), this, SLOT(onEditVpnConnection()));
    connect(ui->VpnConnectionEditButton, SIGNAL(clicked()), this, SLOT(onEditVpnConnection()));
    connect(ui->VpnConnectionDeleteButton, SIGNAL(clicked()), this, SLOT(onDeleteVpnConnection()));
    connect(ui->VpnProtocolComboBox, SIGNAL(currentIndexChanged(const int &)), this,
            SLOT(onSelectChangeVpnProtocol(const int &)));
    connect(ui->KeyEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledAddVpnConnection()));
    connect(ui->NickNameEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledAddVpnConnection()));
    connect(ui->ServerAddressEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledAddVpnConnection()));
    connect(ui->UserNameEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledAddVpnConnection()));
    connect(ui->PasswordEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledAddVpnConnection()));
    connect(ui->OvpnFilePathEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledAddVpnConnection()));
    connect(ui->OvpnFileBrowserButton, SIGNAL(clicked()), this, SLOT(onOvpnFileBrowser()));
    connect(ui->VpnConnectionAddButton, SIGNAL(clicked()), this, SLOT(onAddVpnConnection()));
    connect(ui->DnsLeakProtectionGroupBox, SIGNAL(clicked(bool)), this, SLOT(onEnabledDNSLeak(bool)));
    connect(ui->OpenDnsRadioButton, SIGNAL(clicked()), this, SLOT(onSelectChangeDNS()));
    connect(ui->GoogleDnsRadioButton, SIGNAL(clicked()), this, SLOT(onSelectChangeDNS()));
    connect(ui->SpecifyDnsRadioButton, SIGNAL(clicked()), this, SLOT(onSelectChangeDNS()));
    connect(ui->PreferredDnsServerEditBox, SIGNAL(textChanged(const QString &)), this,
            SLOT(onEnabledDnsProtectionApply()));
    connect(ui->AlternativeDnsServerEditBox, SIGNAL(textChanged(const QString &)), this,
            SLOT(onEnabledDnsProtectionApply()));
    connect(ui->DnsResetButton, SIGNAL(clicked()), this, SLOT(onResetDnsProtection()));
    connect(ui->DnsApplyButton, SIGNAL(clicked()), this, SLOT(onApplyDnsProtection()));
    connect(ui->StartupCheckBox, SIGNAL(clicked(bool)), this, SLOT(onEnabledSettingsApply()));
    connect(ui->ReconnectionCheckBox, SIGNAL(clicked(bool)), this, SLOT(onEnabledSettingsApply()));
    connect(ui->VpnCheckIntervalEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledSettingsApply()));
    connect(ui->SettingResetButton, SIGNAL(clicked()), this, SLOT(onResetSettings()));
    connect(ui->SettingApplyButton, SIGNAL(clicked()), this, SLOT(onApplySettings()));

    onSelectChangeVpnProtocol(0);
    ui->MainTabWidget->setCurrentIndex(0);

    intervalValidator = new QIntValidator(500, 99999, this);
    ui->VpnCheckIntervalEditBox->setValidator(intervalValidator);

    ui->FacebookLabel->setText(makeLinkText(QString::fromLatin1(kFacebookUrl), ui->FacebookLabel));
    ui->SuggestionsLabel->setText(makeLinkText(QString::fromLatin1(kTwitterUrl), ui->SuggestionsLabel));
    ui->NeedHelpLabel->setText(makeLinkText(QString::fromLatin1(kSupportUrl), ui->NeedHelpLabel));

    ui->VpnInfoListBox->setModel(new QStringListModel(this));
    ui->VpnInfoDetailListBox->setModel(new QStringListModel(this));

    ui->CheckVpnHorizontalLayout_2->hide();

    createTrayIcon();
    initUiFromConfig();

    uniqueInstanceTimer = new QTimer(this);
    uniqueInstanceTimer->setInterval(2000);
    uniqueInstanceTimer->start();
    statusCheckTimer = new QTimer(this);
    statusCheckTimer->setInterval(static_cast<int>(qMin<quint32>(cfg->checkVpnInterval, INT_MAX)));
    statusCheckTimer->start();
    connect(uniqueInstanceTimer, SIGNAL(timeout()), this, SLOT(onUniqueInstanceChecking()));
    connect(statusCheckTimer, SIGNAL(timeout()), this, SLOT(onVpnConnectStatusChecking()));

    startupLocalAddress = firstLocalIPv4Address();
    createRasDialer();
    vpnProc = new CVpnProc(this, this, cfg);
    openVpnEngines = new OpenVpnEngines(*vpnProc, *this, *cfg);
    openVpn = openVpnEngines->choose();
    checkInternetConnection();
}

MainWindow::~MainWindow()
{
    quitting = true;
    userDisconnecting = true;
    connectedSeconds = 0;
    if (durationTimer)
        durationTimer->stop();
    uniqueInstanceTimer->stop();
    delete uniqueInstanceTimer;
    uniqueInstanceTimer = nullptr;
    delete openVpnEngines;
    openVpnEngines = nullptr;
    openVpn = nullptr;
    delete vpnProc;
    vpnProc = nullptr;
    releaseRas();
    delete ownedRasApi;
    delete ui;
}

QString MainWindow::makeLinkText(const QString &url, const QLabel *label)
{
    return QStringLiteral("<a href=\"") + url + QStringLiteral("\">") + label->text() + QStringLiteral("</a>");
}

void MainWindow::createTrayIcon()
{
    trayMenu = new QMenu(this);
    trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/res/disconnected_tray.png")), this);

    QAction *openAction = new QAction(tr("Open"), this);
    QAction *aboutAction = new QAction(tr("About"), this);
    QAction *quitAction = new QAction(tr("Quit"), this);
    trayMenu->addAction(openAction);
    trayMenu->addAction(aboutAction);
    trayMenu->addAction(quitAction);

    connect(trayIcon, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
            SLOT(onSelectTrayIcon(QSystemTrayIcon::ActivationReason)));
    connect(openAction, SIGNAL(triggered()), this, SLOT(onShow()));
    connect(aboutAction, SIGNAL(triggered()), this, SLOT(onAbout()));
    connect(quitAction, SIGNAL(triggered()), this, SLOT(onQuit()));

    trayIcon->setContextMenu(trayMenu);
    trayIcon->setVisible(true);
}

// Asked at each use: a tray host may come or go while the client runs.
bool MainWindow::trayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool MainWindow::event(QEvent *event)
{
    // What the engines ask of the system at start waits until the window is on screen.
    if (event->type() == QEvent::Paint && !painted) {
        painted = true;
        QTimer::singleShot(0, this, [this] { openVpnEngines->probe(); });
    }
    return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    // With no tray to bring it back from, a hidden window would leave the tunnel running out of reach.
    if (!trayAvailable()) {
        onQuit();
        return;
    }
    // Closing never ends the client; only the tray's Quit does.
    QTimer::singleShot(0, this, SLOT(showMinimized()));
}

void MainWindow::changeEvent(QEvent *event)
{
    // Without a tray the window stays minimized where the desktop keeps it.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !cfg->minimizeOnClose && trayAvailable())
        QTimer::singleShot(0, this, SLOT(hide()));
    QMainWindow::changeEvent(event);
}

void MainWindow::onShow()
{
    showNormal();
    setFocus(Qt::ActiveWindowFocusReason);
    activateWindow();
}

void MainWindow::onUniqueInstanceChecking()
{
    if (wakeUpRequested()) {
        showNormal();
        setFocus(Qt::ActiveWindowFocusReason);
        activateWindow();
    }
}

void MainWindow::onSelectTrayIcon(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        onShow();
}

void MainWindow::onAbout()
{
    QMessageBox box(QMessageBox::Information, tr("About"),
                    tr("Orvi Dudaru 1.0.0, the desktop client of the Orvi Dudaru VPN service."),
                    QMessageBox::Ok, this);
    box.exec();
    if (isVisible()) {
        showNormal();
    } else {
        showMinimized();
        if (trayAvailable())
            hide();
    }
}

void MainWindow::onQuit()
{
    quitting = true;
    userDisconnecting = true;
    if (openVpn)
        openVpn->stop(true);
    releaseRas();
    // OpenVPN may take a few seconds more to restore the resolvers; the client is gone from view meanwhile.
    hide();
    trayIcon->hide();
    // Qt 6's quit() first asks every window to close, which this window refuses; exit() just leaves the loop.
    QCoreApplication::exit(0);
}

void MainWindow::saveConfig()
{
    if (!cfg->save())
        appendLog(tr("Settings could not be saved to %1").arg(cfg->filePath()), false);
}
