// Whether the network is there: an interface up with an address, or a loopback host.
#include "engine/connectivity.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <memory>

#include "engine/curl_url.h"

namespace {

bool IsLoopbackHost(const std::string& url) {
    const std::optional<CurlUrl> parsed = CurlUrl::Parse(url);
    const std::optional<std::string> host = parsed ? parsed->Part(CURLUPART_HOST) : std::nullopt;
    if (!host) return false;
    if (*host == "localhost" || *host == "[::1]") return true;
    in_addr v4{};
    return inet_pton(AF_INET, host->c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

bool HasNetworkInterface() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, freeifaddrs);
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr) continue;
        const int family = a->ifa_addr->sa_family;
        if ((a->ifa_flags & IFF_UP) && !(a->ifa_flags & IFF_LOOPBACK) &&
            (family == AF_INET || family == AF_INET6))
            return true;
    }
    return false;
}

}  // namespace

bool SystemConnectivity::IsConnected(const std::string& url) {
    return IsLoopbackHost(url) || HasNetworkInterface();
}
