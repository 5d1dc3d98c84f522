#include "support/httpserver.h"

#include <QTcpSocket>

HttpServer::HttpServer()
{
    listen(QHostAddress::LocalHost, 0);
    base = QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
    connect(this, SIGNAL(newConnection()), this, SLOT(onNewConnection()));
}

void HttpServer::onNewConnection()
{
    while (QTcpSocket *socket = nextPendingConnection())
        connect(socket, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
}

void HttpServer::onReadyRead()
{
    auto *socket = qobject_cast<QTcpSocket *>(sender());
    if (socket->peek(65536).contains("\r\n\r\n")) { // a GET is all head
        heads.append(socket->readAll());
        freshConnection.append(!sockets.contains(socket));
        sockets.append(socket);
    }
}

void HttpServer::answer(int index, int status, const QByteArray &body, bool keepAlive)
{
    sockets.at(index)->write("HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Length: "
                             + QByteArray::number(body.size()) + "\r\nConnection: "
                             + (keepAlive ? "keep-alive" : "close") + "\r\n\r\n" + body);
    if (!keepAlive)
        sockets.at(index)->disconnectFromHost();
}
