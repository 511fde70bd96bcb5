#pragma once

#include <QtGlobal>

#include <functional>

namespace Lumen {

// How a `Session` behaves. There is only the ephemeral kind: cookies live in memory for the
// session's life and nothing is cached, so nothing of a session outlives it.
struct URLSessionConfiguration {
    static URLSessionConfiguration ephemeral() { return {}; }

    // Whether the network is in low-data mode; requests that may not use such a network then
    // fail. Never, unless a policy is given.
    std::function<bool()> isNetworkConstrained;
    // Larger bodies are stopped and fail, so a misbehaving server cannot fill memory.
    qint64 maximumResponseBodySize = 256LL * 1024 * 1024;
    // Transfers on the wire to one host at once, never more than the six connections Qt opens to
    // a host; more wait in the session's own queue.
    int httpMaximumConnectionsPerHost = 6;
    // Connections the session holds open at once, idle keep-alive ones included (beside them at
    // most one host's worth that Qt is closing), and so the transfers on the wire across all
    // hosts; more wait in the same queue.
    int maximumConnections = 64;
    // Bytes of response bodies that all transfers of the session hold at once, counted as they
    // arrive; a transfer that would go past it fails.
    qint64 maximumBufferedBodyBytes = 512LL * 1024 * 1024;
    // A transfer on the wire that moves fewer than `lowSpeedLimit` bytes a second for
    // `lowSpeedTime` seconds gives its connection up, failing, as soon as a waiting transfer
    // could take it; a slow transfer nobody waits for goes on. Zero in either turns this off.
    qint64 lowSpeedLimit = 1024;
    double lowSpeedTime = 20;
    // Seconds a transfer may spend on the wire in all, however steadily its bytes come; the
    // request's own timeout bounds only a silence. Waiting for a connection does not count.
    double timeoutIntervalForResource = 300;
};

} // namespace Lumen
