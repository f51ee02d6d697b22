// The file server of the tests on cpp-httplib, with failures on demand.
#include "update_server.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

UpdateServer::UpdateServer() : server(std::make_unique<httplib::Server>()) {
    server->Get(
        R"(/update/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
            Entry entry;
            {
                std::lock_guard<std::mutex> guard(lock);
                requests.push_back(request.path);
                userAgent = request.get_header_value("User-Agent");
                const auto found = entries.find(request.matches[1]);
                if (found == entries.end()) {
                    response.status = 404;
                    response.set_content("not found", "text/plain");
                    return;
                }
                entry = found->second;
            }
            if (!entry.redirect.empty()) {
                response.set_redirect("/update/" + entry.redirect, 302);
                return;
            }
            response.status = entry.status;
            if (entry.mode == Mode::Chunked) {
                const std::string body = entry.body;
                response.set_chunked_content_provider(
                    "application/octet-stream", [body](size_t offset, httplib::DataSink& sink) {
                        if (offset < body.size())
                            sink.write(body.data() + offset,
                                       std::min<size_t>(1000, body.size() - offset));
                        else
                            sink.done();
                        return true;
                    });
            } else if (entry.mode == Mode::Truncated) {
                // Announces the whole body, sends half of it, then drops the connection.
                const std::string body = entry.body;
                response.set_content_provider(
                    body.size(), "application/octet-stream",
                    [body](size_t offset, size_t, httplib::DataSink& sink) {
                        if (offset >= body.size() / 2) return false;
                        sink.write(body.data() + offset, body.size() / 2 - offset);
                        return true;
                    });
            } else {
                response.set_content(entry.body, "application/octet-stream");
            }
        });
    port = server->bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("cannot bind the test server");
    thread = std::thread([this] { server->listen_after_bind(); });
    // stop() only reaches a server that is already listening.
    while (!server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

UpdateServer::~UpdateServer() {
    server->stop();
    thread.join();
}

void UpdateServer::Put(const std::string& name, const std::string& body, Mode mode) {
    std::lock_guard<std::mutex> guard(lock);
    entries[name] = Entry{body, mode, 200, ""};
}

void UpdateServer::Fail(const std::string& name, int status) {
    std::lock_guard<std::mutex> guard(lock);
    entries[name] = Entry{"<html>error page</html>", Mode::Normal, status, ""};
}

void UpdateServer::Redirect(const std::string& name, const std::string& target) {
    std::lock_guard<std::mutex> guard(lock);
    entries[name] = Entry{"", Mode::Normal, 302, target};
}

std::string UpdateServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/update/";
}

std::vector<std::string> UpdateServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

std::string UpdateServer::LastUserAgent() const {
    std::lock_guard<std::mutex> guard(lock);
    return userAgent;
}
