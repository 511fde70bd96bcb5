#include "tests/support/OpenSockets.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace Tivrand::Testing {

int openSocketsTo(const std::set<int>& ports)
{
    const int diag = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (diag < 0)
        return -1;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    query.request.sdiag_family = AF_INET;
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = (1 << TCP_ESTABLISHED) | (1 << TCP_SYN_SENT) | (1 << TCP_CLOSE_WAIT);
    int open = ::send(diag, &query, sizeof query, 0) == sizeof query ? 0 : -1;
    alignas(nlmsghdr) char buffer[64 * 1024];
    for (bool done = open < 0; !done;) {
        const ssize_t received = ::recv(diag, buffer, sizeof buffer, 0);
        if (received <= 0)
            break;
        int left = int(received);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); !done && NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            done = header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR;
            const auto* entry = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (!done && ports.contains(ntohs(entry->id.idiag_dport)))
                ++open;
        }
    }
    ::close(diag);
    return open;
}

long peakWhile(const std::function<long()>& sample, const std::function<void()>& work)
{
    std::atomic<bool> running{true};
    std::atomic<long> peak{sample()};
    std::thread sampler([&] {
        while (running) {
            peak = std::max(peak.load(), sample());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    work();
    running = false;
    sampler.join();
    return peak;
}

} // namespace Tivrand::Testing
