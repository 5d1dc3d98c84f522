#include "vpneditdialog.h"

#include "mainwindow/profiletext.h"
#include "ui_vpneditdialog.h"

#include <QFileDialog>

namespace {

// Same item order as the main form: "L2TP", "PPTP", "OpenVPN".
const int kL2tpIndex = 0;
const int kPptpIndex = 1;
const int kOpenVpnIndex = 2;

bool filled(const QLineEdit *edit)
{
    return !edit->text().isEmpty();
}

} // namespace

VpnEditDialog::VpnEditDialog(QWidget *parent, VpnServerInfo info)
    : QDialog(parent), ui(new Ui_VpnEditDialog), editServerInfo(info)
{
    ui->setupUi(this);

    // Set before the connections exist, so nothing reacts yet.
    if (editServerInfo.protocol == PPTP)
        ui->VpnProtocolComboBox->setCurrentIndex(kPptpIndex);
    else if (editServerInfo.protocol == L2TP)
        ui->VpnProtocolComboBox->setCurrentIndex(kL2tpIndex);
    else
        ui->VpnProtocolComboBox->setCurrentIndex(kOpenVpnIndex);

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
    const bool openVpn = index == kOpenVpnIndex;
    const bool l2tp = index == kL2tpIndex;

    ui->OvpnFilePathLabel->setVisible(openVpn);
    ui->OvpnFilePathEditBox->setVisible(openVpn);
    ui->OvpnFileBrowserButton->setVisible(openVpn);
    ui->KeyLabel->setVisible(l2tp);
    ui->KeyEditBox->setVisible(l2tp);
    ui->ServerAddressLabel->setVisible(!openVpn);
    ui->ServerAddressEditBox->setVisible(!openVpn);

    if (!openVpn)
        ui->OvpnFilePathEditBox->setText(QString());
    onEnabledEditVpnConnection();
}

void VpnEditDialog::onEnabledEditVpnConnection()
{
    const int index = ui->VpnProtocolComboBox->currentIndex();
    // No file needed for OpenVPN here: without one the stored configuration stays.
    bool enabled = filled(ui->UserNameEditBox) && filled(ui->PasswordEditBox);
    if (index == kL2tpIndex)
        enabled = enabled && filled(ui->KeyEditBox);
    if (index != kOpenVpnIndex)
        enabled = enabled && filled(ui->ServerAddressEditBox);
    enabled = enabled && filled(ui->NickNameEditBox);
    ui->OkButton->setEnabled(enabled);
}

void VpnEditDialog::onUpdateVpnConnection()
{
    const int index = ui->VpnProtocolComboBox->currentIndex();
    if (index == kL2tpIndex) {
        editServerInfo.protocol = L2TP;
        editServerInfo.sharedKey = ui->KeyEditBox->text();
        editServerInfo.serverAddress = ui->ServerAddressEditBox->text();
    } else if (index == kPptpIndex) {
        editServerInfo.protocol = PPTP;
        editServerInfo.serverAddress = ui->ServerAddressEditBox->text();
    } else {
        editServerInfo.protocol = OpenVPN;
        const QString config = loadOvpnConfigBase64(ui->OvpnFilePathEditBox->text());
        if (!config.isEmpty())
            editServerInfo.ovpnConfig = config;
    }
    editServerInfo.nickname = ui->NickNameEditBox->text();
    editServerInfo.userName = ui->UserNameEditBox->text();
    editServerInfo.password = ui->PasswordEditBox->text();
    done(QDialog::Accepted);
}

void VpnEditDialog::onOvpnFileBrowser()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load Ovpn File"), QString(), tr("Ovpn Files(*.ovpn)"));
    if (!path.isEmpty())
        ui->OvpnFilePathEditBox->setText(path);
}
