#pragma once

#include "config/vpnserverinfo.h"
#include "config/profiletext.h"

#include <QLineEdit>
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

// Writes the form into info. Fields that do not belong to the chosen protocol keep what info held
// (nothing, for a new profile), and so does the OpenVPN configuration when no file could be read.
template <typename Form>
void readProfileFields(const Form *ui, VpnServerInfo &info)
{
    const int index = ui->VpnProtocolComboBox->currentIndex();
    if (index == L2tpIndex) {
        info.protocol = L2TP;
        info.sharedKey = ui->KeyEditBox->text();
        info.serverAddress = ui->ServerAddressEditBox->text();
    } else if (index == PptpIndex) {
        info.protocol = PPTP;
        info.serverAddress = ui->ServerAddressEditBox->text();
    } else {
        info.protocol = OpenVPN;
        const QString config = loadOvpnConfigBase64(ui->OvpnFilePathEditBox->text());
        if (!config.isEmpty())
            info.ovpnConfig = config;
    }
    info.nickname = ui->NickNameEditBox->text();
    info.userName = ui->UserNameEditBox->text();
    info.password = ui->PasswordEditBox->text();
}
