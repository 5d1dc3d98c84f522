#include "mainwindow.h"

#include "config/ipv4text.h"
#include "config/sharedconfig.h"
#include "ui_mainwindow.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

namespace {

// The input mask keeps its three dots in the text, so an empty box reads "...".
QString addressText(const QLineEdit *box)
{
    QString text = box->text();
    text.remove(QLatin1String("..."));
    return text;
}

// An empty middle group is stored as 0: "10.0..1" becomes "10.0.0.1".
QString normalisedAddress(QString text)
{
    text.replace(QLatin1String(".."), QLatin1String(".0."));
    return text;
}

} // namespace

void MainWindow::onEnabledDNSLeak(bool checked)
{
    ui->OpenDnsRadioButton->setCheckable(true);
    ui->OpenDnsRadioButton->setChecked(true);
    onSelectChangeDNS();
    // The switch is saved at once; the server choice waits for Apply.
    cfg->enableDnsProtection = checked;
    saveConfig();
}

void MainWindow::onSelectChangeDNS()
{
    const bool own = ui->SpecifyDnsRadioButton->isChecked();
    ui->PreferredDnsServerLabel->setEnabled(own);
    ui->PreferredDnsServerEditBox->setEnabled(own);
    ui->AlternativeDnsServerLabel->setEnabled(own);
    ui->AlternativeDnsServerEditBox->setEnabled(own);
    onEnabledDnsProtectionApply();
}

void MainWindow::onEnabledDnsProtectionApply()
{
    const bool own = ui->SpecifyDnsRadioButton->isChecked();
    const QString preferred = addressText(ui->PreferredDnsServerEditBox);
    const QString alternative = addressText(ui->AlternativeDnsServerEditBox);

    bool apply = true;
    bool reset = false;
    if ((ui->OpenDnsRadioButton->isChecked() && cfg->dnsServer != OpenDns)
        || (ui->GoogleDnsRadioButton->isChecked() && cfg->dnsServer != GoogleDns)) {
        reset = true;
    } else {
        reset = own && cfg->dnsServer != OwnServers;
        if (own && preferred != cfg->preferredDnsServer) {
            reset = true;
            apply = !preferred.isEmpty();
        } else if (own && preferred.isEmpty()) {
            apply = false;
        } else {
            apply = own && alternative != cfg->alternativeDnsServer;
            reset = reset || apply;
        }
    }
    ui->DnsResetButton->setEnabled(reset);
    ui->DnsApplyButton->setEnabled(apply);
}

void MainWindow::onApplyDnsProtection()
{
    const bool own = ui->SpecifyDnsRadioButton->isChecked();
    const QString preferred = addressText(ui->PreferredDnsServerEditBox);
    const QString alternative = addressText(ui->AlternativeDnsServerEditBox);

    if (own) {
        QString problem;
        if (preferred.isEmpty())
            problem = tr("Please enter the Preferred DNS Server");
        else if (!isDottedIPv4(normalisedAddress(preferred)))
            problem = tr("The Preferred DNS Server must be four numbers from 0 to 255, without leading zeros, separated by dots.");
        else if (!alternative.isEmpty() && !isDottedIPv4(normalisedAddress(alternative)))
            problem = tr("The Alternative DNS Server must be four numbers from 0 to 255, without leading zeros, separated by dots.");
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, tr("Warning"), problem, QMessageBox::Ok);
            return;
        }
    }

    ui->DnsResetButton->setEnabled(false);
    ui->DnsApplyButton->setEnabled(false);

    if (ui->OpenDnsRadioButton->isChecked())
        cfg->dnsServer = OpenDns;
    else if (ui->GoogleDnsRadioButton->isChecked())
        cfg->dnsServer = GoogleDns;
    else
        cfg->dnsServer = OwnServers;

    if (!own) {
        cfg->preferredDnsServer.clear();
        cfg->alternativeDnsServer.clear();
    } else {
        cfg->preferredDnsServer = normalisedAddress(preferred);
        cfg->alternativeDnsServer = normalisedAddress(alternative);
    }
    saveConfig();
}

void MainWindow::onResetDnsProtection()
{
    ui->DnsLeakProtectionGroupBox->setChecked(cfg->enableDnsProtection);
    switch (cfg->dnsServer) {
    case OpenDns:
        ui->OpenDnsRadioButton->setChecked(true);
        break;
    case GoogleDns:
        ui->GoogleDnsRadioButton->setChecked(true);
        break;
    case OwnServers:
        ui->SpecifyDnsRadioButton->setChecked(true);
        break;
    default:
        // A mode this client does not know leaves the choice as it is.
        break;
    }
    ui->PreferredDnsServerEditBox->setText(cfg->preferredDnsServer);
    ui->AlternativeDnsServerEditBox->setText(cfg->alternativeDnsServer);
    ui->DnsResetButton->setEnabled(false);
    ui->DnsApplyButton->setEnabled(false);
    onSelectChangeDNS();
}
