#include "sharedconfig.h"

#include <QCoreApplication>
#include <QSettings>

void setLaunchOnSystemStartup(bool enable)
{
    QSettings run(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    if (enable)
        run.setValue(QStringLiteral("Orvi"),
                     QCoreApplication::applicationFilePath().replace(QLatin1Char('/'), QLatin1Char('\\')));
    else
        run.remove(QStringLiteral("Orvi"));
}
