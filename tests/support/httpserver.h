#pragma once

#include <QTcpServer>

// HTTP on 127.0.0.1 (a free port) that records each request and answers only when the test says so.
class HttpServer : public QTcpServer
{
    Q_OBJECT

public:
    HttpServer();
    // Answers the index-th request (in arrival order) and closes its connection, or keeps it open.
    void answer(int index, int status, const QByteArray &body, bool keepAlive = false);

    QString base; // "http://127.0.0.1:<port>"
    QList<QByteArray> heads; // request line and headers of each request
    QList<bool> freshConnection; // whether each request came on a connection of its own

private slots:
    void onNewConnection();
    void onReadyRead();

private:
    QList<QTcpSocket *> sockets;
};
