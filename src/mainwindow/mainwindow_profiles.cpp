#include "mainwindow.h"

#include "config/sharedconfig.h"
#include "dialogs/protocolform.h"
#include "dialogs/vpneditdialog.h"
#include "config/profiletext.h"
#include "ui_mainwindow.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QStringListModel>

void MainWindow::fillVpnInfoLists()
{
    // Both lists are rebuilt from the profiles, so row i is always profile i.
    QStringList texts;
    texts.reserve(cfg->serverInfoList.size());
    for (const VpnServerInfo &info : qAsConst(cfg->serverInfoList))
        texts.append(vpnServerInfoText(info));
    qobject_cast<QStringListModel *>(ui->VpnInfoListBox->model())->setStringList(texts);
    qobject_cast<QStringListModel *>(ui->VpnInfoDetailListBox->model())->setStringList(texts);
}

void MainWindow::onSelectVpnInfo()
{
    ui->ConnectButton->setEnabled(true);
}

void MainWindow::onSelectVpnInfoDetails()
{
    ui->VpnConnectionEditButton->setEnabled(true);
    ui->VpnConnectionDeleteButton->setEnabled(true);
}

void MainWindow::onSelectChangeVpnProtocol(const int &index)
{
    showProtocolFields(ui, index);
    onEnabledAddVpnConnection();
}

void MainWindow::onEnabledAddVpnConnection()
{
    const int index = ui->VpnProtocolComboBox->currentIndex();
    // Unlike the edit dialog, a new OpenVPN profile needs its file.
    ui->VpnConnectionAddButton->setEnabled(profileFieldsFilled(ui, index)
                                           && (index != OpenVpnIndex || filled(ui->OvpnFilePathEditBox)));
}

void MainWindow::onOvpnFileBrowser()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load Ovpn File"), QString(), tr("Ovpn Files(*.ovpn)"));
    if (!path.isEmpty())
        ui->OvpnFilePathEditBox->setText(path);
}

void MainWindow::onAddVpnConnection()
{
    VpnServerInfo info;
    if (!readProfileFields(ui, info, this))
        return; // the form stays as it is, for the user to mend

    cfg->serverInfoList.append(info);
    fillVpnInfoLists();

    ui->NickNameEditBox->setText(QString());
    ui->ServerAddressEditBox->setText(QString());
    ui->UserNameEditBox->setText(QString());
    ui->PasswordEditBox->setText(QString());
    ui->OvpnFilePathEditBox->setText(QString());

    saveConfig();
}

void MainWindow::onDeleteVpnConnection()
{
    QMessageBox box(QMessageBox::Warning, tr("Orvi - Dudaru"), tr("Do you want to delete this VPN information?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (box.exec() != QMessageBox::Yes)
        return;

    const int row = ui->VpnInfoDetailListBox->currentIndex().row();
    if (row >= 0 && row < cfg->serverInfoList.size())
        cfg->serverInfoList.removeAt(row);
    saveConfig();

    fillVpnInfoLists();
    ui->VpnInfoDetailListBox->clearSelection();
    ui->VpnConnectionEditButton->setEnabled(false);
    ui->VpnConnectionDeleteButton->setEnabled(false);
}

void MainWindow::onEditVpnConnection()
{
    const int row = ui->VpnInfoDetailListBox->currentIndex().row();
    if (row < 0 || row >= cfg->serverInfoList.size())
        return;

    VpnEditDialog dialog(this, cfg->serverInfoList.at(row));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The modal run spins the event loop; do not write past a list that changed meanwhile.
    if (row >= cfg->serverInfoList.size())
        return;

    cfg->serverInfoList[row] = dialog.serverInfo();
    fillVpnInfoLists();
    saveConfig();
    ui->VpnInfoDetailListBox->setCurrentIndex(ui->VpnInfoDetailListBox->model()->index(row, 0));
}
