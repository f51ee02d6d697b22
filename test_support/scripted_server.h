// A hostile update site on 127.0.0.1: replies written byte by byte as a test
// scripts them (partial replies, doubled headers, endless or dripping bodies,
// headers that never end), next to ordinary files. Every connection is served
// on its own thread; destruction stops and joins them all promptly.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedServer {
public:
    struct Reply {
        std::string head;  // status line and headers, without the blank line
        std::string body;
        // Before the head: a server that takes its time to answer.
        std::chrono::milliseconds delayBeforeHead{0};
        // Body pacing: every interval one byte of body (0: all at once); with
        // endless the body repeats without end.
        std::chrono::milliseconds dripInterval{0};
        bool endless = false;
    };

    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // An ordinary 200 reply with its Content-Length.
    void Put(const std::string& name, const std::string& body);
    void Script(const std::string& name, Reply reply);
    // Replies to each request for name as responder decides from the
    // request's head (its Range and If-Range, say).
    using Responder = std::function<Reply(const std::string& requestHead)>;
    void Answer(const std::string& name, Responder responder);
    std::string BaseUrl() const;  // "http://127.0.0.1:<port>/update/"
    // Names requested so far, in order.
    std::vector<std::string> Requests();

private:
    void Accept();
    void Serve(int connection);
    bool Send(int connection, const std::string& bytes);

    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::mutex lock;
    std::map<std::string, Reply> replies;
    std::map<std::string, Responder> responders;
    std::vector<std::string> requests;
    std::vector<std::thread> workers;
    std::thread acceptor;
};
