#pragma once

#include <QTcpServer>

class QTcpSocket;

// HTTP on 127.0.0.1 (a free port) that answers the requests in turn with the given statuses and body, keeping
// each connection alive; status 0 leaves its request unanswered.
struct HttpServer : QTcpServer
{
    HttpServer(const QList<int> &statuses, const QByteArray &body);

    QList<QTcpSocket *> requests; // the connection each request came on, in arrival order
};
