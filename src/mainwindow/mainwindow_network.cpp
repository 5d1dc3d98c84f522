#include "mainwindow.h"

#include "network/ping.h"
#include "ui_mainwindow.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QtDebug>

namespace {

const char *const kNoAddress = "XXX.XXX.XXX.XXX";

} // namespace

void MainWindow::requestPublicIp()
{
    // A manager of its own for each look-up, so each one opens a connection of its own: look-ups run as
    // the route changes, and a connection kept alive from before would answer with the old address or
    // never. Earlier requests are left to finish; whichever answer arrives last sets the label.
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, SIGNAL(finished(QNetworkReply *)), this, SLOT(onParsePublicIP(QNetworkReply *)));
    QNetworkRequest request(publicIpUrl);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(publicIpTimeoutMs);
    manager->get(request);
}

void MainWindow::onParsePublicIP(QNetworkReply *pReply)
{
    QString text;
    if (pReply->error() != QNetworkReply::NoError) {
        qDebug("%s", qPrintable(pReply->errorString()));
        text = QLatin1String(kNoAddress);
    } else {
        // The address is the text of the link to the information page:
        // <a href="https://<info host>/ip/...">address</a>. A page of another
        // shape yields whatever this slice gives, following QString's -1 rules.
        const QString page = QString::fromLatin1(pReply->readAll());
        const QString marker = QStringLiteral("//") + publicIpInfoHost + QStringLiteral("/ip/");
        const int markerAt = page.indexOf(marker);
        const int start = page.indexOf(QLatin1Char('>'), markerAt) + 1;
        const int end = page.indexOf(QLatin1String("</a>"), start);
        text = page.mid(start, end - start).trimmed();
    }
    // The text comes from a web page: never let it render as markup.
    ui->YourIPLabel->setTextFormat(Qt::PlainText);
    ui->YourIPLabel->setText(text);
    pReply->deleteLater();
    pReply->manager()->deleteLater();
}

void MainWindow::checkInternetConnection()
{
    ui->PingGoogleStatic->setText(pingHost + QStringLiteral(" :"));
    setCursor(Qt::WaitCursor);
    if (pingAverageMs(pingHost) > 0) {
        ui->PingGoogleLabel->setStyleSheet(QStringLiteral("color:rgb(33, 175, 77);"));
        ui->PingGoogleLabel->setText(tr("OK"));
    } else {
        ui->PingGoogleLabel->setStyleSheet(QStringLiteral("color:rgb(255, 0, 0);"));
        ui->PingGoogleLabel->setText(tr("Failure"));
    }
    setCursor(Qt::ArrowCursor);
}

void MainWindow::setPublicIpEndpoint(const QUrl &url, const QString &infoHost, int timeoutMs)
{
    publicIpUrl = url;
    publicIpInfoHost = infoHost;
    publicIpTimeoutMs = timeoutMs;
}

void MainWindow::setPingHost(const QString &host)
{
    pingHost = host;
}
