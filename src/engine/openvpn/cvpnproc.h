#pragma once

#include <QProcess>
#include <QTemporaryFile>
#include <QWidget>

class ConnectionSink;
class QTimer;
class SharedConfig;

// Per-attempt block, set to all zero bytes before every start.
struct OpenVpnAttempt
{
    char consoleLogName[256];
    int state;                 // ConnectionState: 0, 1, 2 or 4
    int authFailed;            // an authentication-failure marker was seen while connecting
    int authFailureCount;      // chunks with an authentication-failure marker
    int connectionErrorCount;  // chunks with a connection-failure marker
    int tunPrivilegeMissing;   // OpenVPN could not create its tunnel device for want of privilege
};

// Runs one OpenVPN tunnel as "./openvpn.exe" and follows its output.
class CVpnProc : public QWidget
{
    Q_OBJECT

public:
    CVpnProc(QWidget *parent, ConnectionSink *owner, const SharedConfig *config);
    ~CVpnProc() override;

    // Removes the credential files of a client that died; only while no other client can run.
    static void removeLeftoverCredentialFiles();

    // 0 started; 202 no "config.ovpn" or no credential file; 203 did not start in time; 204 no "openvpn.exe".
    int startOpenVpn();
    void stopOpenVpn(bool userRequested);
    // One chunk of the process's output, as read from either channel: logged, appended to the console log
    // and, while connecting, classified.
    void takeOutput(const QByteArray &bytes);
    // Prefix of the paths probed for the system's DNS helpers ("" on a real system).
    void setDnsHelperRoot(const QString &root) { dnsHelperRoot = root; }

    OpenVpnAttempt attempt;
    char userNameBuffer[50];
    char passwordBuffer[50];

public slots:
    void updateErrorTextEdit();
    void updateOutputTextEdit();
    void processFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void processError(QProcess::ProcessError error);

private slots:
    void killEndingProcess();

private:
    void handleOutput(const QString &chunk);
    void classify(const QByteArray &chunk);
    void stepAfterOutput(int previousState);
    void endStep();
    bool failureThresholdReached() const;
    void resetCounters();
    bool writeCredentialFile();
    void appendDnsOptions(QString &command);
    void appendDnsServer(QString &command, const QString &server);
    void endLeftoverProcess();
    void endProcess();
    void endProcessAndWait();

    ConnectionSink *owner;
    const SharedConfig *config;
    QProcess *process;
    QTemporaryFile credentialFile;
    QTimer *endTimer;  // runs while an ending process may still run its down script
    QString dnsHelperRoot;
};
