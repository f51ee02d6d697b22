#include "engine/connectivity.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <memory>

namespace {

bool IsLoopbackHost(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return false;
    char* raw = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_HOST, &raw, 0) != CURLUE_OK) return false;
    std::string host(raw);
    curl_free(raw);
    if (host == "localhost" || host == "[::1]") return true;
    in_addr v4{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
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
