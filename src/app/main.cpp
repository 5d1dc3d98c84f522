#include "app/singleinstance.h"
#include "app/termination.h"
#include "app/userdatafolder.h"
#include "config/sharedconfig.h"
#include "engine/platformengines.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSharedMemory>
#include <QStandardPaths>
#include <QtDebug>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    // Set first: --version, --help and the per-user data folder are made from them.
    QApplication::setApplicationName(QStringLiteral("Orvi Dudaru"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setOrganizationDomain(QStringLiteral("orvidudaru.net"));
    QApplication::setDesktopFileName(QStringLiteral(ORVI_APP_ID));

    // Parsed before anything else, so --help and --version touch no file and no instance marker
    // and need no display.
    const QString userDataName = QStringLiteral("user-data");
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Desktop client of the Orvi Dudaru VPN service."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({ userDataName,
                       QStringLiteral("Keep the settings and files in %1 instead of the working directory.")
                           .arg(QDir::toNativeSeparators(
                               QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))) });
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Options the parser does not know are Qt's own (-platform, -style ...), left to the application object.
    parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Without an application object Qt cannot name the program in the usage line.
        const QString text = parser.helpText().replace(QLatin1String("<executable_name>"), arguments.constFirst());
        std::fputs(qPrintable(text), stdout);
        return EXIT_SUCCESS;
    }
    if (parser.isSet(version))
        parser.showVersion();
    if (parser.isSet(userDataName)) {
        if (!enterUserDataFolder()) {
            qWarning("Could not use the data folder %s.",
                     qUtf8Printable(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
            return EXIT_FAILURE;
        }
        linkSystemOpenVpn();
        // Started at logon, the client comes back to the same folder.
        setLaunchArguments({ QLatin1String("--") + userDataName });
    }

    QSharedMemory marker;
    if (!createInstanceMarker(marker)) {
        signalRunningInstance(2999);
        qWarning("Can't start more than one instance of the application.");
        exit(0);
    }
    qDebug("Application started successfully.");
    // A client that died left its credential and key files; this start holds the marker, so no other owns one.
    removeLeftoverSecretFiles();
    catchTerminationRequests();

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        // The window lives on in the tray; closing a box while it is hidden must not end the client.
        QApplication::setQuitOnLastWindowClosed(false);

        MainWindow window;
        routeTerminationRequests(&window);
        window.show();
        exitCode = app.exec();
    }
    return exitCode;
}
