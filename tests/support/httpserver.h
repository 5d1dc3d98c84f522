#pragma once

#include <QTcpServer>

// HTTP on 127.0.0.1 (a free port) that records each request and answers only when the test says so.
class HttpServer : public QTcpServer
{
    Q_OBJECT

public:
    HttpServer();
    // Answers the index-th request (in arrival order) and closes its connection.
    void answer(int index, int status, const QByteArray &body);

    QString base; // "http://127.0.0.1:<port>"
    QList<QByteArray> heads; // request line and headers of each request

private slots:
    void onNewConnection();
    void onReadyRead();

private:
    QList<QTcpSocket *> sockets;
};
