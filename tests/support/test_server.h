#pragma once

// An HTTP server on 127.0.0.1 for tests, on a port of its own, serving in a thread; over TLS
// (httplib::SSLServer) where the test program is built with CPPHTTPLIB_OPENSSL_SUPPORT.
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace lectoria::testing_support {

template <class Server> class BasicTestServer {
public:
    template <class... Arguments>
    explicit BasicTestServer(Arguments&&... arguments) : server_(std::forward<Arguments>(arguments)...) {
        // As web servers do: without it, cpp-httplib's body, written after the headers, waits for
        // the client's delayed acknowledgement (40 ms) on every request of a kept connection.
        server_.set_tcp_nodelay(true);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() does nothing before the loop runs: a server destroyed at once would never end.
        const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!server_.is_running() && std::chrono::steady_clock::now() < bound)
            std::this_thread::yield();
    }
    ~BasicTestServer() { Stop(); }
    BasicTestServer(const BasicTestServer&) = delete;
    BasicTestServer& operator=(const BasicTestServer&) = delete;

    Server& routes() { return server_; }
    int port() const { return port_; }
    std::string url(const std::string& path, const std::string& scheme = "http") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Ends serving: once it returns, no handler runs any more. A test whose handlers use its own
    // variables stops the server before they go, when the client may have left a request in
    // flight (Qt sends a redirect's next request before it counts the redirects).
    void Stop() {
        Release();
        server_.stop();
        if (thread_.joinable())
            thread_.join();
    }

    // Lets a handler hold its answer back until the test is over (a stalled server), with a bound.
    void Hold(std::chrono::seconds bound = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        released_.wait_for(lock, bound, [this] { return released; });
    }
    void Release() {
        {
            std::lock_guard lock(mutex_);
            released = true;
        }
        released_.notify_all();
    }

private:
    Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool released = false;
};

using TestServer = BasicTestServer<httplib::Server>;

} // namespace lectoria::testing_support
