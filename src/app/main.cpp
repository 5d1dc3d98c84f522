#include "app/singleinstance.h"
#include "app/termination.h"
#include "engine/openvpn/cvpnproc.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QSharedMemory>
#include <QtDebug>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QSharedMemory marker;
    if (!createInstanceMarker(marker)) {
        signalRunningInstance(2999);
        qWarning("Can't start more than one instance of the application.");
        exit(0);
    }
    qDebug("Application started successfully.");
    // A client that died left its credential file; this start holds the marker, so no other owns one.
    CVpnProc::removeLeftoverCredentialFiles();
    catchTerminationRequests();

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Orvi Dudaru"));
        QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
        QApplication::setOrganizationDomain(QStringLiteral("orvidudaru.net"));
        // The window lives on in the tray; closing a box while it is hidden must not end the client.
        QApplication::setQuitOnLastWindowClosed(false);

        MainWindow window;
        routeTerminationRequests(&window);
        window.show();
        exitCode = app.exec();
    }
    return exitCode;
}
