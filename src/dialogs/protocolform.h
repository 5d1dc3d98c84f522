#pragma once

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
