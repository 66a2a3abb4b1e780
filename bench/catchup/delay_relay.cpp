// A TCP relay that holds every byte for a fixed delay in each direction: a slow link on one
// machine, where the kernel's netem is not available. It counts the connections it accepts.
//   lectoria-bench-relais --ecoute PORT --vers PORT --delai-ms N [--compte FICHIER]
// The count is written to FICHIER after each new connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes; // empty: the other side closed
};

// One direction: a reader stamps what arrives, a writer hands it on once its delay has passed.
void Pipe(int from, int to, std::chrono::milliseconds delay) {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Chunk> queue;
    std::thread writer([&] {
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [&] { return !queue.empty(); });
                chunk = std::move(queue.front());
                queue.pop_front();
            }
            std::this_thread::sleep_until(chunk.due);
            if (chunk.bytes.empty()) {
                ::shutdown(to, SHUT_WR);
                return;
            }
            size_t done = 0;
            while (done < chunk.bytes.size()) {
                const ssize_t sent = ::send(to, chunk.bytes.data() + done, chunk.bytes.size() - done, MSG_NOSIGNAL);
                if (sent <= 0) {
                    ::shutdown(from, SHUT_RD);
                    return;
                }
                done += size_t(sent);
            }
        }
    });
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::recv(from, buffer.data(), buffer.size(), 0);
        Chunk chunk{Clock::now() + delay, {}};
        if (got > 0)
            chunk.bytes.assign(buffer.data(), buffer.data() + got);
        {
            const std::lock_guard lock(mutex);
            queue.push_back(std::move(chunk));
        }
        ready.notify_one();
        if (got <= 0)
            break;
    }
    writer.join();
}

int Connect(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    int listenPort = 0, upstream = 0, delayMs = 100;
    std::string countFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--ecoute") == 0)
            listenPort = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--vers") == 0)
            upstream = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--delai-ms") == 0)
            delayMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--compte") == 0)
            countFile = argv[i + 1];
    }
    if (listenPort <= 0 || upstream <= 0) {
        std::fprintf(stderr,
                     "Usage : lectoria-bench-relais --ecoute PORT --vers PORT --delai-ms N [--compte FICHIER]\n");
        return 2;
    }
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(listenPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(server, 64) != 0) {
        std::fprintf(stderr, "Impossible d'écouter sur le port %d.\n", listenPort);
        return 1;
    }
    std::atomic<int> connections{0};
    const std::chrono::milliseconds delay(delayMs);
    for (;;) {
        const int client = ::accept(server, nullptr, nullptr);
        if (client < 0)
            continue;
        const int count = ++connections;
        if (!countFile.empty())
            if (FILE* file = std::fopen(countFile.c_str(), "w")) {
                std::fprintf(file, "%d\n", count);
                std::fclose(file);
            }
        std::thread([client, upstream, delay] {
            const int far = Connect(upstream);
            if (far < 0) {
                ::close(client);
                return;
            }
            const int noDelay = 1;
            for (const int s : {client, far})
                ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            std::thread back([&] { Pipe(far, client, delay); });
            Pipe(client, far, delay);
            back.join();
            ::close(client);
            ::close(far);
        }).detach();
    }
}
