#include "mainwindow.h"

#include "config/sharedconfig.h"
#include "ui_mainwindow.h"

namespace {

// The interval box as a base-10 number; text that is no number reads 0.
qint64 intervalValue(const QLineEdit *box)
{
    return box->text().toLongLong(nullptr, 10);
}

} // namespace

void MainWindow::initUiFromConfig()
{
    ui->DnsLeakProtectionGroupBox->setChecked(cfg->enableDnsProtection);
    // Writes the flag back and saves: every start rewrites the configuration file once.
    onEnabledDNSLeak(cfg->enableDnsProtection);
    onResetDnsProtection();
    onResetSettings();
    fillVpnInfoLists();
}

void MainWindow::onEnabledSettingsApply()
{
    const qint64 value = intervalValue(ui->VpnCheckIntervalEditBox);
    bool enabled = true;
    if (ui->StartupCheckBox->isChecked() == cfg->launchOnSystemStartup
        && ui->ReconnectionCheckBox->isChecked() == cfg->redialAutomatically
        && value != static_cast<qint64>(cfg->checkVpnInterval)) {
        enabled = value >= 100;
    }
    ui->SettingResetButton->setEnabled(enabled);
    ui->SettingApplyButton->setEnabled(enabled);
}

void MainWindow::onApplySettings()
{
    ui->SettingResetButton->setEnabled(false);
    ui->SettingApplyButton->setEnabled(false);
    cfg->launchOnSystemStartup = ui->StartupCheckBox->isChecked();
    cfg->redialAutomatically = ui->ReconnectionCheckBox->isChecked();
    cfg->checkVpnInterval = static_cast<quint32>(intervalValue(ui->VpnCheckIntervalEditBox));
    // Registered again even when unchanged, so a registration removed behind our back comes back.
    setLaunchOnSystemStartup(cfg->launchOnSystemStartup);
    saveConfig();
}

void MainWindow::onResetSettings()
{
    // setChecked emits no clicked(), so only the interval text runs the enabling rule.
    ui->StartupCheckBox->setChecked(cfg->launchOnSystemStartup);
    ui->ReconnectionCheckBox->setChecked(cfg->redialAutomatically);
    ui->VpnCheckIntervalEditBox->setText(QString::number(cfg->checkVpnInterval));
    ui->SettingResetButton->setEnabled(false);
    ui->SettingApplyButton->setEnabled(false);
}
