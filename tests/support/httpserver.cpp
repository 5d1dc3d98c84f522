#include "support/httpserver.h"

#include <QTcpSocket>

HttpServer::HttpServer(const QList<int> &statuses, const QByteArray &body)
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [=] {
        while (QTcpSocket *socket = nextPendingConnection())
            connect(socket, &QTcpSocket::readyRead, this, [=] {
                if (!socket->peek(65536).contains("\r\n\r\n")) // a GET is all head
                    return;
                socket->readAll();
                requests.append(socket);
                if (const int status = statuses.value(requests.size() - 1))
                    socket->write("HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Length: "
                                  + QByteArray::number(body.size()) + "\r\nConnection: keep-alive\r\n\r\n" + body);
            });
    });
}
