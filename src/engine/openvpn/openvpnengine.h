#pragma once

class QByteArray;
class QString;

// One way to run an OpenVPN tunnel from "./config.ovpn": as a child process, or through the system's network
// service. Either reports to the window as the child process does: log entries, then states 1, 2 and 0.
class OpenVpnEngine
{
public:
    virtual ~OpenVpnEngine() = default;

    // Starts finding out, without waiting, what available() needs to know of the system.
    virtual void probe() {}
    // Whether it can run a tunnel on this system now; when not, whyNot may say what the user could do about it.
    virtual bool available(QString *whyNot) const = 0;
    // The profile's credentials for the next start: UTF-8, at most 49 bytes each, no line breaks.
    virtual void prepare(const QByteArray &userName, const QByteArray &password) = 0;
    // 0 once the attempt is under way (state 1 told); else 202 (no "config.ovpn", or no credential file),
    // 203 (did not start in time) or 204 (no program to start), and nothing runs.
    virtual int start() = 0;
    // Ends the attempt, logging its stop entry; userRequested leaves out the reason a failure would give.
    // Nothing happens when no attempt runs.
    virtual void stop(bool userRequested) = 0;
};
