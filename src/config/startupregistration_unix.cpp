#include "sharedconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtDebug>

namespace {

// An Exec argument is quoted for the command line, then escaped once more as a desktop-file string.
QString quotedExec(const QString &text)
{
    QString quoted;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    quoted.replace(QLatin1String("%"), QLatin1String("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

// XDG autostart: $XDG_CONFIG_HOME/autostart/Orvi.desktop starts this executable at logon, with the
// launch arguments, in the current working directory.
void setLaunchOnSystemStartup(bool enable)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart");
    const QString entryPath = dir + QStringLiteral("/Orvi.desktop");

    if (!enable) {
        QFile::remove(entryPath);
        return;
    }

    QDir().mkpath(dir);
    QFile entry(entryPath);
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning("Could not write the autostart entry %s", qUtf8Printable(entryPath));
        return;
    }
    QString exec = quotedExec(QCoreApplication::applicationFilePath());
    for (const QString &argument : launchArguments())
        exec += QLatin1Char(' ') + quotedExec(argument);
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Orvi\n"
                                        "Exec=%1\n"
                                        "Path=%2\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(exec, QDir::currentPath().replace(QLatin1String("\\"), QLatin1String("\\\\")));
    entry.write(text.toUtf8());
}
