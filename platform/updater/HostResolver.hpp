// Host-name look-ups for feed downloads: c-ares on the calling thread, given up at once when cancelled.
#pragma once

#include "updater/Feed.hpp"

#include <chrono>
#include <string>
#include <vector>

namespace updater {

// The numeric addresses (IPv4 as "a.b.c.d", IPv6 in brackets) the host name resolves to, from the hosts
// file and DNS. Runs entirely on the calling thread and starts none, so nothing of a look-up outlives the
// call. Throws FeedError when the name does not resolve, when the deadline passes, or as soon as the
// cancellation is cancelled. nameServers ("address:port,…") replaces the system's servers when not empty.
std::vector<std::string> resolveHostName(const std::string& host, FetchCancellation& cancellation,
                                         std::chrono::steady_clock::time_point deadline,
                                         const std::string& nameServers = {});

} // namespace updater
