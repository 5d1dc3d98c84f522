#pragma once

class QString;

// Connection states the engines report and the dashboard shows.
enum ConnectionState { Disconnected = 0, Connecting = 1, Connected = 2, Ending = 4 };

// What the connection engines need of their owner: a log and a state display.
class ConnectionSink
{
public:
    virtual ~ConnectionSink() = default;
    virtual void appendLog(const QString &text, bool blankLine) = 0;
    virtual void setConnectionState(int state) = 0;
};
