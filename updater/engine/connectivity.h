// Whether the update server can be reached at all: injectable, so tests can
// state it.
#pragma once

#include <string>

class ConnectivityCheck {
public:
    virtual ~ConnectivityCheck() = default;
    virtual bool IsConnected(const std::string& url) = 0;
};

// Connected when the URL's host is a loopback name or address, or when a
// network interface other than loopback is up with an address.
class SystemConnectivity : public ConnectivityCheck {
public:
    bool IsConnected(const std::string& url) override;
};
