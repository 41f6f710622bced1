#pragma once
// A go-between on the way to a test's PostgreSQL server that can lose a reply
// the way a broken network does: armed, it ends the connection at the next
// "command complete" the server sends, after the server has committed and
// before the client hears of it. Connections after that pass through again.
#include "support/pg_cluster.h"
#include "support/unique_folder.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace px316t::testing {

class PgReplyCutter {
public:
    explicit PgReplyCutter(const PgCluster& cluster) : server_(cluster.socket())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "px316t-cut-XXXXXX").string();
        if (!px316t::test::makeUniqueFolder(pattern))
            return;
        folder_ = pattern;
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(folder_ / ".s.PGSQL.5432");
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 16) != 0)
            return;
        ::pipe(stop_);
        thread_ = std::thread([this] { run(); });
    }
    ~PgReplyCutter()
    {
        if (thread_.joinable()) {
            ::write(stop_[1], "x", 1);
            thread_.join();
        }
        for (int fd : {listener_, stop_[0], stop_[1]})
            if (fd >= 0)
                ::close(fd);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    PgReplyCutter(const PgReplyCutter&) = delete;
    PgReplyCutter& operator=(const PgReplyCutter&) = delete;

    std::string conninfo() const { return PgCluster::conninfoAt(folder_); }
    // The next reply that completes a statement is lost.
    void loseNextCompletion() { armed_ = true; }
    bool cut() const { return cuts_ > 0; }

private:
    struct Pair {
        int client;
        int server;
        std::vector<char> fromServer;   // bytes not yet forwarded
    };

    static sockaddr_un addressOf(const std::filesystem::path& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        return address;
    }

    static bool sendAll(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Forwards whole server messages; false once the pair is to be ended.
    bool forwardFromServer(Pair& pair)
    {
        std::vector<char>& bytes = pair.fromServer;
        std::size_t at = 0;
        while (bytes.size() - at >= 5) {
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at + 1);
            const std::size_t length = 1 + (std::size_t(b[0]) << 24 | std::size_t(b[1]) << 16 | b[2] << 8 | b[3]);
            if (bytes.size() - at < length)
                break;
            if (bytes[at] == 'C' && armed_.exchange(false)) {
                ++cuts_;
                return false;
            }
            if (!sendAll(pair.client, bytes.data() + at, length))
                return false;
            at += length;
        }
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }

    void run()
    {
        std::vector<Pair> pairs;
        char buffer[65536];
        for (;;) {
            std::vector<pollfd> fds = {{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
            for (const Pair& p : pairs) {
                fds.push_back({p.client, POLLIN, 0});
                fds.push_back({p.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), -1) < 0 || fds[0].revents)
                break;
            std::vector<Pair> kept;
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                Pair& pair = pairs[i];
                bool open = true;
                if (fds[2 + 2 * i].revents) {
                    const ssize_t n = ::recv(pair.client, buffer, sizeof buffer, 0);
                    open = n > 0 && sendAll(pair.server, buffer, static_cast<std::size_t>(n));
                }
                if (open && fds[3 + 2 * i].revents) {
                    const ssize_t n = ::recv(pair.server, buffer, sizeof buffer, 0);
                    open = n > 0;
                    if (open) {
                        pair.fromServer.insert(pair.fromServer.end(), buffer, buffer + n);
                        open = forwardFromServer(pair);
                    }
                }
                if (open) {
                    kept.push_back(std::move(pair));
                } else {
                    ::close(pair.client);
                    ::close(pair.server);
                }
            }
            if (fds[1].revents & POLLIN) {
                const int client = ::accept(listener_, nullptr, nullptr);
                const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
                const sockaddr_un address = addressOf(server_);
                if (::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                    kept.push_back({client, server, {}});
                } else {
                    ::close(client);
                    ::close(server);
                }
            }
            pairs = std::move(kept);
        }
        for (const Pair& p : pairs) {
            ::close(p.client);
            ::close(p.server);
        }
    }

    std::filesystem::path server_;
    std::filesystem::path folder_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    std::atomic<bool> armed_ = false;
    std::atomic<int> cuts_ = 0;
    std::thread thread_;
};

} // namespace px316t::testing
