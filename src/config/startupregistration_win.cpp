#include "sharedconfig.h"

#include <QCoreApplication>
#include <QSettings>

void setLaunchOnSystemStartup(bool enable)
{
    QSettings run(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    if (enable) {
        QString command = QCoreApplication::applicationFilePath().replace(QLatin1Char('/'), QLatin1Char('\\'));
        // The bare path is what an entry without arguments has always held; arguments need it quoted.
        if (!launchArguments().isEmpty())
            command = QLatin1Char('"') + command + QLatin1String("\" ") + launchArguments().join(QLatin1Char(' '));
        run.setValue(QStringLiteral("Orvi"), command);
    } else {
        run.remove(QStringLiteral("Orvi"));
    }
}
