#include "mainwindow.h"

#include "config/ownerfile.h"
#include "config/sharedconfig.h"
#include "engine/openvpn/openvpnengine.h"
#include "engine/openvpn/openvpnengines.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QMenu>
#include <QNetworkInterface>
#include <QTextCursor>
#include <QTimer>

#include <climits>

quint32 internetCheckElapsedMs = 0;

namespace {

const char *const kDisconnectVpnText = "Disconnect VPN";
const char *const kOpenVpnStart = "------------ OpenVPN Start ------------";
const char *const kOpenVpnStop = "------------ OpenVPN Stop ------------";
const quint32 kInternetCheckThresholdMs = 10000;
// OpenVPN reads the credentials into buffers of 50 bytes, the last one for the terminating zero.
const int kCredentialBytes = 49;
// Failed starts in a row, without reaching Connected, before the client stops repeating them.
const int kMaxFailedAttempts = 3;

// Why a credential cannot go into the credential file, or an empty text when it can.
QString credentialProblem(const QString &value, const QString &what)
{
    if (value.toUtf8().size() > kCredentialBytes)
        return MainWindow::tr("the %1 is longer than %2 bytes").arg(what).arg(kCredentialBytes);
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        return MainWindow::tr("the %1 holds a line break").arg(what);
    return QString();
}

int timerInterval(quint32 ms)
{
    return static_cast<int>(qMin<quint32>(ms, INT_MAX));
}

} // namespace

QString formatDuration(unsigned int seconds)
{
    const unsigned int s = seconds % 60;
    const unsigned int m = (seconds / 60) % 60;
    const unsigned int h = (seconds / 3600) % 24;
    const unsigned int d = seconds / 86400;
    return QString::asprintf("%02u : %02u : %02u", d * 24 + h, m, s);
}

QString firstLocalIPv4Address()
{
    const QHostAddress loopback(QHostAddress::LocalHost);
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address != loopback)
            return address.toString();
    }
    return QString();
}

void MainWindow::appendLog(const QString &text, bool blankLine)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;

    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    QString entry = QString::asprintf("[%d-%02d-%02d %02d:%02d:%02d] ", date.year(), date.month(), date.day(),
                                      time.hour(), time.minute(), time.second())
        + trimmed;

    QTextDocument *log = ui->VpnLogEditBox->document();
    if (!log->isEmpty())
        entry += blankLine ? QStringLiteral("\n\n") : QStringLiteral("\n");

    // Inserting at the top keeps each entry's cost independent of the log's length; one edit block
    // lays the entry out once, and the read-only log keeps no undo history (the form turns it off).
    QTextCursor cursor(log);
    cursor.movePosition(QTextCursor::Start);
    cursor.beginEditBlock();
    cursor.insertText(entry);
    cursor.endEditBlock();
}

void MainWindow::setConnectionState(int state)
{
    if (state == connectionState)
        return;
    const bool dropped = connectionState == Connected && state == Disconnected && !userDisconnecting;
    connectionState = state;
    refreshConnectionUi();

    if (dropped && cfg->redialAutomatically) {
        appendLog(tr("The VPN connection dropped; redialling."), true);
        scheduleRepeat();
    }
}

void MainWindow::refreshConnectionUi()
{
    trayIcon->setIcon(QIcon(QStringLiteral(":/icons/res/disconnected_tray.png")));

    switch (connectionState) {
    case Connected: {
        failedAttempts = 0;
        ui->ConnectButton->setText(tr("Connected"));
        trayIcon->setIcon(QIcon(QStringLiteral(":/icons/res/connecting_tray.png")));
        const QList<QAction *> actions = trayMenu->actions();
        if (actions.isEmpty() || actions.first()->text() != QLatin1String(kDisconnectVpnText)) {
            QAction *disconnectAction = new QAction(tr("Disconnect VPN"), this);
            connect(disconnectAction, SIGNAL(triggered()), this, SLOT(onDisconnect()));
            trayMenu->insertAction(actions.isEmpty() ? nullptr : actions.first(), disconnectAction);
        }
        trayIcon->setContextMenu(trayMenu);
        requestPublicIp();
        startDurationTimer();
        break;
    }
    case Connecting:
        ui->ConnectButton->setText(tr("Connecting"));
        break;
    case Disconnected: {
        ui->ConnectButton->setText(tr("Connect"));
        const QList<QAction *> actions = trayMenu->actions();
        if (!actions.isEmpty() && actions.first()->text() == QLatin1String(kDisconnectVpnText)) {
            trayMenu->removeAction(actions.first());
            actions.first()->deleteLater();
            trayIcon->setContextMenu(trayMenu);
        }
        connectedSeconds = 0;
        if (durationTimer)
            durationTimer->stop();
        requestPublicIp();
        break;
    }
    default:
        break;
    }

    const bool idle = connectionState == Disconnected;
    ui->VpnInfoListBox->setEnabled(idle);
    ui->LoginTab->setEnabled(idle);
    trayIcon->setVisible(true);
    displayedState = connectionState;
}

void MainWindow::startDurationTimer()
{
    if (!durationTimer) {
        durationTimer = new QTimer(this);
        durationTimer->setInterval(1000);
        connect(durationTimer, SIGNAL(timeout()), this, SLOT(onConnectionTimer()));
    }
    connectedSeconds = 1;
    durationTimer->start();
}

void MainWindow::onConnectionTimer()
{
    ui->ConnectedTimeLabel->setText(formatDuration(connectedSeconds));
    ++connectedSeconds;
}

void MainWindow::onConnect()
{
    const bool repeat = repeatScheduled;
    repeatScheduled = false;
    if (quitting)
        return; // a repeat that fell due while the client is ending

    if (connectionState != Disconnected) {
        disconnectVpn(false);
        return;
    }

    const int row = ui->VpnInfoListBox->currentIndex().row();
    if (row < 0 || row >= cfg->serverInfoList.size())
        return;
    if (!repeat)
        failedAttempts = 0; // a press of the button starts afresh
    VpnServerInfo info = cfg->serverInfoList.at(row);

    activeProtocol = info.protocol;
    connectionState = Connecting;
    refreshConnectionUi();

    if (info.protocol == OpenVPN) {
        QString problem = credentialProblem(info.userName, tr("user name"));
        if (problem.isEmpty())
            problem = credentialProblem(info.password, tr("password"));
        if (!problem.isEmpty()) {
            refuseStart(tr("OpenVPN was not started: %1.").arg(problem));
            return;
        }
        openVpn = openVpnEngines->choose();
        openVpn->prepare(info.userName.toUtf8(), info.password.toUtf8());

        const QByteArray configBytes = decodeBase64(info.ovpnConfig);
        // It may hold an inline private key or a tls-auth key.
        QFile configFile(QStringLiteral("./") + QStringLiteral("config.ovpn"));
        if (!openOwnerOnly(configFile, QIODevice::WriteOnly | QIODevice::Truncate)
            || configFile.write(configBytes) != configBytes.size() || !configFile.flush()) {
            refuseStart(tr("OpenVPN was not started: config.ovpn could not be written (%1).")
                            .arg(configFile.errorString()));
            return;
        }
        configFile.close();

        appendLog(QLatin1String(kOpenVpnStart), true);
        const int result = openVpn->start();
        if (result == 0) {
            refreshConnectionUi();
            return;
        }
        appendLog(QLatin1String(kOpenVpnStop) + QString::asprintf("Failed to launch vpn service! = %d", result), true);
        if (connectionState != Disconnected)
            repeatFailedStart();
        return;
    }

    const bool pptp = info.protocol == PPTP;
    appendLog(pptp ? QStringLiteral("------------ PPTP Start ------------")
                   : QStringLiteral("------------ L2TP Start ------------"),
              true);
    if (connectRas(info)) {
        connectionState = Connected;
        refreshConnectionUi();
        return;
    }
    appendLog(activeProtocol == PPTP ? QStringLiteral("------------ PPTP Stop ------------")
                                     : QStringLiteral("------------ L2TP Stop ------------"),
              true);
    // Quit during the dial ends it too; an ending client makes no new attempt.
    if (connectionState != Disconnected && !quitting)
        repeatFailedStart();
}

void MainWindow::onDisconnect()
{
    disconnectVpn(false);
}

void MainWindow::disconnectVpn(bool reconnect)
{
    userDisconnecting = true;
    if (activeProtocol != OpenVPN) {
        disconnectRas();
    } else {
        openVpn->stop(true);
        appendLog(QLatin1String(kOpenVpnStop), true);
    }
    userDisconnecting = quitting;
    connectionState = Disconnected;

    if (reconnect) {
        scheduleRepeat();
        return;
    }
    refreshConnectionUi();
}

void MainWindow::repeatFailedStart()
{
    ++failedAttempts;
    if (failedAttempts >= kMaxFailedAttempts) {
        failedAttempts = 0;
        disconnectVpn(false);
        appendLog(tr("The connection failed %1 times in a row; no further attempt is made. "
                     "Press Connect to try again.")
                      .arg(kMaxFailedAttempts),
                  true);
        return;
    }
    disconnectVpn(true);
}

void MainWindow::scheduleRepeat()
{
    repeatScheduled = true;
    QTimer::singleShot(1, this, SLOT(onConnect()));
}

void MainWindow::refuseStart(const QString &reason)
{
    // A refused start cannot succeed when repeated, so the client goes back to rest.
    appendLog(reason, true);
    failedAttempts = 0;
    connectionState = Disconnected;
    refreshConnectionUi();
}

void MainWindow::onVpnConnectStatusChecking()
{
    statusCheckTimer->stop();
    if (displayedState == Connected && firstLocalIPv4Address() == startupLocalAddress && cfg->killSwitch)
        internetCheckElapsedMs += static_cast<quint32>(statusCheckTimer->interval());
    if (internetCheckElapsedMs > kInternetCheckThresholdMs) {
        internetCheckElapsedMs = 0;
        checkInternetConnection();
    }
    statusCheckTimer->setInterval(timerInterval(cfg->checkVpnInterval));
    statusCheckTimer->start();
}
