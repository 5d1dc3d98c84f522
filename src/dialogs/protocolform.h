#pragma once

#include "config/vpnserverinfo.h"
#include "config/profiletext.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QString>

// Both profile forms (the add form of the main window and the edit dialog) list the protocols
// as "L2TP", "PPTP", "OpenVPN" and name their widgets alike.
enum ProtocolComboIndex { L2tpIndex = 0, PptpIndex = 1, OpenVpnIndex = 2 };

inline bool filled(const QLineEdit *edit)
{
    return !edit->text().isEmpty(); // blanks count
}

// Shows the fields of the protocol at index; fields are hidden, never disabled, and keep their
// text, except the file path, which only OpenVPN keeps.
template <typename Form>
void showProtocolFields(Form *ui, int index)
{
    const bool openVpn = index == OpenVpnIndex;
    const bool l2tp = index == L2tpIndex;
    ui->OvpnFilePathLabel->setVisible(openVpn);
    ui->OvpnFilePathEditBox->setVisible(openVpn);
    ui->OvpnFileBrowserButton->setVisible(openVpn);
    ui->KeyLabel->setVisible(l2tp);
    ui->KeyEditBox->setVisible(l2tp);
    ui->ServerAddressLabel->setVisible(!openVpn);
    ui->ServerAddressEditBox->setVisible(!openVpn);
    if (!openVpn)
        ui->OvpnFilePathEditBox->setText(QString());
}

// Whether the fields every profile of the protocol at index needs are filled (the OpenVPN file aside).
template <typename Form>
bool profileFieldsFilled(const Form *ui, int index)
{
    bool enabled = filled(ui->NickNameEditBox) && filled(ui->UserNameEditBox) && filled(ui->PasswordEditBox);
    if (index == L2tpIndex)
        enabled = enabled && filled(ui->KeyEditBox);
    if (index != OpenVpnIndex)
        enabled = enabled && filled(ui->ServerAddressEditBox);
    return enabled;
}

// Tells the user which files the chosen configuration names but that cannot be read: without them it could
// never connect, so nothing is saved.
inline void warnMissingOvpnFiles(QWidget *parent, const QList<MissingOvpnFile> &missing)
{
    QString files;
    for (const MissingOvpnFile &file : missing)
        files += QStringLiteral("\n%1: %2").arg(file.option, file.path);
    QMessageBox::warning(parent, QCoreApplication::translate("ProtocolForm", "Orvi - Dudaru"),
                         QCoreApplication::translate("ProtocolForm",
                             "This configuration names files that cannot be read, so it could never connect. Put "
                             "each where its option names it and choose the configuration again.\n%1").arg(files));
}

// Writes the form into info. Fields that do not belong to the chosen protocol keep what info held
// (nothing, for a new profile), and so does the OpenVPN configuration when no file could be read.
// False, with info untouched and the user told, when the configuration names files that cannot be read.
template <typename Form>
bool readProfileFields(const Form *ui, VpnServerInfo &info, QWidget *parent)
{
    const int index = ui->VpnProtocolComboBox->currentIndex();
    QString config;
    if (index == OpenVpnIndex) {
        QList<MissingOvpnFile> missing;
        config = loadOvpnConfigBase64(ui->OvpnFilePathEditBox->text(), &missing);
        if (!missing.isEmpty()) {
            warnMissingOvpnFiles(parent, missing);
            return false;
        }
    }
    if (index == L2tpIndex) {
        info.protocol = L2TP;
        info.sharedKey = ui->KeyEditBox->text();
        info.serverAddress = ui->ServerAddressEditBox->text();
    } else if (index == PptpIndex) {
        info.protocol = PPTP;
        info.serverAddress = ui->ServerAddressEditBox->text();
    } else {
        info.protocol = OpenVPN;
        if (!config.isEmpty())
            info.ovpnConfig = config;
    }
    info.nickname = ui->NickNameEditBox->text();
    info.userName = ui->UserNameEditBox->text();
    info.password = ui->PasswordEditBox->text();
    return true;
}
