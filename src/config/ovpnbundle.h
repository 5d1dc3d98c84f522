#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QDir;

// One option of an OpenVPN configuration at its top level: its name, and its bytes as they stand, with the whole
// of an inline block (<ca>...</ca>) or a <connection> block.
struct OvpnOption
{
    QByteArray name;
    QByteArray text;
};

QList<OvpnOption> ovpnOptions(const QByteArray &text);

// A file that an option of an OpenVPN configuration names and that cannot be read.
struct MissingOvpnFile
{
    QString option;
    QString path; // absolute, as it was looked for
};

// The configuration with the key and certificate files it names carried inline, in OpenVPN's own inline form,
// so that it works from any folder; relative names resolve against folder. Lines it leaves alone keep their
// bytes, so a configuration that names no such file comes back unchanged. Empty, with the files listed in
// missing, when a named file cannot be read.
QByteArray inlineOvpnFiles(const QByteArray &text, const QDir &folder, QList<MissingOvpnFile> *missing);
