#pragma once

#include "config/vpnserverinfo.h"

#include <QDialog>

class Ui_VpnEditDialog;

// Modal editor for one saved profile; works on a copy.
class VpnEditDialog : public QDialog
{
    Q_OBJECT

public:
    VpnEditDialog(QWidget *parent, VpnServerInfo info);
    ~VpnEditDialog() override;

    VpnServerInfo serverInfo() const;

public slots:
    void onSelectChangeVpnProtocol(const int &index);
    void onEnabledEditVpnConnection();
    void onUpdateVpnConnection();
    void onOvpnFileBrowser();

private:
    Ui_VpnEditDialog *ui;
    VpnServerInfo editServerInfo;
};
