// A real HTTP server on 127.0.0.1 inside the test process, serving files under
// /update/ and, on demand, failures: statuses, chunked bodies, bodies cut
// short, redirects.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

class UpdateServer {
public:
    enum class Mode { Normal, Chunked, Truncated };

    UpdateServer();
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // Serves body at /update/<name>.
    void Put(const std::string& name, const std::string& body, Mode mode = Mode::Normal);
    // Answers /update/<name> with status and a small error page.
    void Fail(const std::string& name, int status);
    // Redirects /update/<name> to /update/<target>.
    void Redirect(const std::string& name, const std::string& target);

    std::string BaseUrl() const;  // "http://127.0.0.1:<port>/update/"
    int Port() const { return port; }
    // Paths requested so far, in order; and the headers of the last request.
    std::vector<std::string> Requests() const;
    std::string LastUserAgent() const;

private:
    struct Entry {
        std::string body;
        Mode mode = Mode::Normal;
        int status = 200;
        std::string redirect;
    };

    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::map<std::string, Entry> entries;
    std::vector<std::string> requests;
    std::string userAgent;
};
