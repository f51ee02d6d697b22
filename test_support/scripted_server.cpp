// The scripted server: raw replies written as a test asks, one thread per connection.
#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

ScriptedServer::ScriptedServer() {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot start the scripted server");
    port = ntohs(address.sin_port);
    acceptor = std::thread([this] { Accept(); });
}

ScriptedServer::~ScriptedServer() {
    stopping = true;
    acceptor.join();
    for (std::thread& worker : workers) worker.join();
    ::close(listener);
}

void ScriptedServer::Put(const std::string& name, const std::string& body) {
    Script(name, Reply{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: close",
                       body});
}

void ScriptedServer::Script(const std::string& name, Reply reply) {
    std::lock_guard<std::mutex> guard(lock);
    replies[name] = std::move(reply);
}

void ScriptedServer::Answer(const std::string& name, Responder responder) {
    std::lock_guard<std::mutex> guard(lock);
    responders[name] = std::move(responder);
}

std::string ScriptedServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/update/";
}

std::vector<std::string> ScriptedServer::Requests() {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

void ScriptedServer::Accept() {
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) continue;
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        std::lock_guard<std::mutex> guard(lock);
        workers.emplace_back([this, connection] {
            Serve(connection);
            ::close(connection);
        });
    }
}

bool ScriptedServer::Send(int connection, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void ScriptedServer::Serve(int connection) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && !stopping) {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    // "GET /update/<name> HTTP/1.1"
    const size_t start = request.find("/update/");
    const size_t end = request.find(' ', start);
    if (start == std::string::npos || end == std::string::npos) return;
    const std::string name = request.substr(start + 8, end - start - 8);
    Reply reply;
    {
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(name);
        if (const auto responder = responders.find(name); responder != responders.end())
            replies[name] = responder->second(request);
        const auto found = replies.find(name);
        if (found == replies.end()) {
            Send(connection,
                 "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        reply = found->second;
    }
    const auto sleepFor = [this](std::chrono::milliseconds time) {
        const auto until = std::chrono::steady_clock::now() + time;
        while (!stopping && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !stopping;
    };
    if (!sleepFor(reply.delayBeforeHead) || !Send(connection, reply.head + "\r\n\r\n")) return;
    if (reply.dripInterval.count() == 0) {
        do {
            if (!Send(connection, reply.body)) return;
        } while (reply.endless && !stopping);
        return;
    }
    for (size_t i = 0; !stopping && (reply.endless || i < reply.body.size()); ++i) {
        if (!sleepFor(reply.dripInterval)) return;
        if (!Send(connection, std::string(1, reply.body[i % reply.body.size()]))) return;
    }
}
