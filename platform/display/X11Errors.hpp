#pragma once

// Logging X errors of our own connections: Xlib's default handler ends the process on any error, and
// one refused request (a size the server will not take) must not take the program down with it; nor
// does a broken connection, which ends only itself.

#include <csignal>

typedef struct _XDisplay Display;

namespace display {

// While a connection is registered, its errors are logged and otherwise ignored. The handler is
// process-wide in Xlib: the first registration installs ours and keeps the one before it, to which the
// errors of every other connection (a plug-in host's) still go; the last unregistration puts that one
// back, unless another has replaced ours since. Registration is thread-safe.
// A registered connection's I/O error (the server went away) is no longer the process's end: the
// connection is marked lost and Xlib's calls on it return without doing anything. The I/O error
// handler is process-wide too and is shared the same way; the exit handler is the connection's own.
void registerErrorLogging(::Display* display);
void unregisterErrorLogging(::Display* display);

// Whether a registered connection has had an I/O error.
bool connectionLost(::Display* display);

// Holds SIGPIPE back on the calling thread while it lives and drops one raised meanwhile, so that a write
// to a server that has gone fails with EPIPE (an I/O error of that connection) instead of ending the
// process, whatever the process's own handling of the signal is (a plug-in host's).
class PipeSignalGuard {
public:
    PipeSignalGuard();
    ~PipeSignalGuard();
    PipeSignalGuard(const PipeSignalGuard&) = delete;
    PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

private:
    sigset_t previous_{};
    bool blocked_ = false;
    bool pendingBefore_ = false;
};

// Ignores the errors of one of our connections (one registered above, as every X11Display's is) while it
// lives (requests about windows that may vanish at any moment, such as a host's), counting them instead of
// logging them; at its end it waits for the server's answers to every request made so far. The process's
// handler stays as it is, so errors on other connections reach their handlers as before. Traps nest.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(::Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
    // The errors trapped so far (after a sync of the connection).
    int errors();

private:
    ::Display* display_;
    int before_ = 0;
};

} // namespace display
