#pragma once

// Logging X errors of our own connections: Xlib's default handler ends the process on any error, and
// one refused request (a size the server will not take) must not take the program down with it.

typedef struct _XDisplay Display;

namespace display {

// While a connection is registered, its errors are logged and otherwise ignored. The handler is
// process-wide in Xlib: the first registration installs ours and keeps the one before it, to which the
// errors of every other connection (a plug-in host's) still go; the last unregistration puts that one
// back, unless another has replaced ours since. Registration is thread-safe.
void registerErrorLogging(::Display* display);
void unregisterErrorLogging(::Display* display);

} // namespace display
