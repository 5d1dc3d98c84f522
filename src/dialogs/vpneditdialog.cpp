#include "vpneditdialog.h"

#include "dialogs/protocolform.h"
#include "ui_vpneditdialog.h"

#include <QFileDialog>

VpnEditDialog::VpnEditDialog(QWidget *parent, VpnServerInfo info)
    : QDialog(parent), ui(new Ui_VpnEditDialog), editServerInfo(info)
{
    ui->setupUi(this);

    // Set before the connections exist, so nothing reacts yet.
    if (editServerInfo.protocol == PPTP)
        ui->VpnProtocolComboBox->setCurrentIndex(PptpIndex);
    else if (editServerInfo.protocol == L2TP)
        ui->VpnProtocolComboBox->setCurrentIndex(L2tpIndex);
    else
        ui->VpnProtocolComboBox->setCurrentIndex(OpenVpnIndex);

    ui->KeyEditBox->setText(editServerInfo.sharedKey);
    ui->NickNameEditBox->setText(editServerInfo.nickname);
    ui->UserNameEditBox->setText(editServerInfo.userName);
    ui->PasswordEditBox->setText(editServerInfo.password);
    if (editServerInfo.protocol != OpenVPN)
        ui->ServerAddressEditBox->setText(editServerInfo.serverAddress);
    // The stored configuration has no path to show; the file field starts empty.

    connect(ui->VpnProtocolComboBox, SIGNAL(currentIndexChanged(const int &)), this,
            SLOT(onSelectChangeVpnProtocol(const int &)));
    connect(ui->KeyEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledEditVpnConnection()));
    connect(ui->NickNameEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledEditVpnConnection()));
    connect(ui->ServerAddressEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledEditVpnConnection()));
    connect(ui->UserNameEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledEditVpnConnection()));
    connect(ui->PasswordEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledEditVpnConnection()));
    connect(ui->OvpnFilePathEditBox, SIGNAL(textChanged(const QString &)), this, SLOT(onEnabledEditVpnConnection()));
    connect(ui->OvpnFileBrowserButton, SIGNAL(clicked()), this, SLOT(onOvpnFileBrowser()));
    connect(ui->OkButton, SIGNAL(clicked()), this, SLOT(onUpdateVpnConnection()));
    connect(ui->CancelButton, SIGNAL(clicked()), this, SLOT(close()));

    onSelectChangeVpnProtocol(ui->VpnProtocolComboBox->currentIndex());
}

VpnEditDialog::~VpnEditDialog()
{
    delete ui;
}

VpnServerInfo VpnEditDialog::serverInfo() const
{
    return editServerInfo;
}

void VpnEditDialog::onSelectChangeVpnProtocol(const int &index)
{
    showProtocolFields(ui, index);
    onEnabledEditVpnConnection();
}

void VpnEditDialog::onEnabledEditVpnConnection()
{
    // No file needed for OpenVPN here: without one the stored configuration stays.
    ui->OkButton->setEnabled(profileFieldsFilled(ui, ui->VpnProtocolComboBox->currentIndex()));
}

void VpnEditDialog::onUpdateVpnConnection()
{
    if (readProfileFields(ui, editServerInfo, this))
        done(QDialog::Accepted);
}

void VpnEditDialog::onOvpnFileBrowser()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load Ovpn File"), QString(), tr("Ovpn Files(*.ovpn)"));
    if (!path.isEmpty())
        ui->OvpnFilePathEditBox->setText(path);
}
