#pragma once

class QString;

// What the connection engines need of their owner: a log and a state display.
class ConnectionSink
{
public:
    virtual ~ConnectionSink() = default;
    virtual void appendLog(const QString &text, bool blankLine) = 0;
    virtual void setConnectionState(int state) = 0;
};
