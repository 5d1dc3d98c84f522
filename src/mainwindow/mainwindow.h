#pragma once

#include "config/vpnserverinfo.h"
#include "engine/connectionsink.h"

#include <QMainWindow>
#include <QString>
#include <QSystemTrayIcon>
#include <QUrl>

class CRasDialer;
class CVpnProc;
class OpenVpnEngine;
class OpenVpnEngines;
class QAction;
class QCloseEvent;
class QEvent;
class QIntValidator;
class QLabel;
class QMenu;
class QNetworkReply;
class QTimer;
class RasApi;
class SharedConfig;
class Ui_MainWindow;

// Milliseconds of qualifying status checks since the last reachability check.
extern quint32 internetCheckElapsedMs;

QString formatDuration(unsigned int seconds);
QString firstLocalIPv4Address();

class MainWindow : public QMainWindow, public ConnectionSink
{
    Q_OBJECT

public:
    // config defaults to SharedConfig::instance(); rasApi to the platform's RAS backend.
    explicit MainWindow(QWidget *parent = nullptr, SharedConfig *config = nullptr, RasApi *rasApi = nullptr);
    ~MainWindow() override;

    static QString makeLinkText(const QString &url, const QLabel *label);

    // ConnectionSink
    void appendLog(const QString &text, bool blankLine) override;
    void setConnectionState(int state) override;

    int currentConnectionState() const { return connectionState; }
    QSystemTrayIcon *systemTrayIcon() const { return trayIcon; }
    QMenu *systemTrayMenu() const { return trayMenu; }
    CVpnProc *openVpnProcess() const { return vpnProc; }

    // --- shell and tray ---
    void createTrayIcon();

    // --- configuration ---
    SharedConfig &config() const { return *cfg; }
    // Saves the record; a failure is reported in the connection log.
    void saveConfig();

    // --- connection controller ---
    void refreshConnectionUi();
    void disconnectVpn(bool reconnect);
    void startDurationTimer();
    void repeatFailedStart();
    void scheduleRepeat();
    void refuseStart(const QString &reason);

    // --- profiles ---
    void fillVpnInfoLists();

    // --- settings and start-up fill ---
    void initUiFromConfig();

    // --- network checks ---
    void requestPublicIp();
    void checkInternetConnection();
    // timeoutMs bounds each look-up's transfer; the placeholder shows when it runs out.
    void setPublicIpEndpoint(const QUrl &url, const QString &infoHost, int timeoutMs = 10000);
    void setPingHost(const QString &host);

    // --- RAS dialer ---
    void createRasDialer();
    bool connectRas(const VpnServerInfo &info);
    void disconnectRas();
    void releaseRas();
    bool prepareRasEntry(const VpnServerInfo &info);
    bool dialAndWait(const VpnServerInfo &info);

public slots:
    void onShow();
    void onQuit();
    void onAbout();
    void onParsePublicIP(QNetworkReply *pReply);
    void onConnectionTimer();
    void onUniqueInstanceChecking();
    void onVpnConnectStatusChecking();
    void onConnect();
    void onDisconnect();
    void onSelectTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void onSelectVpnInfo();
    void onSelectVpnInfoDetails();
    void onSelectChangeVpnProtocol(const int &index);
    void onEditVpnConnection();
    void onDeleteVpnConnection();
    void onEnabledAddVpnConnection();
    void onAddVpnConnection();
    void onOvpnFileBrowser();
    void onEnabledDNSLeak(bool checked);
    void onSelectChangeDNS();
    void onEnabledDnsProtectionApply();
    void onApplyDnsProtection();
    void onResetDnsProtection();
    void onEnabledSettingsApply();
    void onApplySettings();
    void onResetSettings();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Ui_MainWindow *ui = nullptr;
    SharedConfig *cfg = nullptr;

    // --- shell and tray ---
    bool trayAvailable() const;
    QMenu *trayMenu = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    QTimer *uniqueInstanceTimer = nullptr;
    QIntValidator *intervalValidator = nullptr;

    // --- connection controller ---
    int activeProtocol = OpenVPN;
    int connectionState = Disconnected;
    int displayedState = Disconnected;
    QTimer *durationTimer = nullptr;
    unsigned int connectedSeconds = 0;
    QTimer *statusCheckTimer = nullptr;
    QString startupLocalAddress;
    CVpnProc *vpnProc = nullptr;
    // The ways OpenVPN can run here, and the one that runs the attempt being made or held.
    OpenVpnEngines *openVpnEngines = nullptr;
    OpenVpnEngine *openVpn = nullptr;
    // Consecutive starts that failed without reaching Connected.
    int failedAttempts = 0;
    // The next onConnect is a repeat, not a press of the button.
    bool repeatScheduled = false;
    // Set while the user (not the tunnel) is taking the connection down, and for good once quitting.
    bool userDisconnecting = false;
    bool quitting = false;
    bool painted = false;

    // --- network checks ---
    QUrl publicIpUrl;
    int publicIpTimeoutMs = 10000;
    QString publicIpInfoHost;
    QString pingHost;

    // --- RAS dialer ---
    RasApi *rasApi = nullptr;
    RasApi *ownedRasApi = nullptr;
    CRasDialer *rasDialer = nullptr;
    QString rasEntryName;
    QString rasDeviceName;
    bool rasCancelRequested = false;
    // Set while dialAndWait runs, so that nothing nested in its message pump starts a second dial.
    bool rasDialInProgress = false;
};
