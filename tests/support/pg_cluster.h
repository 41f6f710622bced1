#pragma once
// A throw-away PostgreSQL cluster for one test: initdb into a temporary folder,
// started with its socket in that folder and no TCP listener, stopped and
// removed at the end. initdb refuses to run as root, so under root the server
// runs as the user "nobody".
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace px316t::testing {

class PgCluster {
public:
    PgCluster()
    {
        const std::filesystem::path bin = serverBinaries();
        if (bin.empty()) {
            error_ = "no PostgreSQL server under /usr/lib/postgresql (scripts/install-deps.sh installs it)";
            return;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "px316t-pg-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            error_ = "no temporary folder";
            return;
        }
        folder_ = pattern;
        asUser_ = ::geteuid() == 0 ? "runuser -u nobody -- " : "";
        if (::geteuid() == 0 && std::system(("chown nobody " + folder_.string()).c_str()) != 0) {
            error_ = "cannot hand the folder to nobody";
            return;
        }
        const std::string data = (folder_ / "data").string();
        if (!run((bin / "initdb").string() + " -D " + data +
                 " -U px316t -A trust -E UTF8 --no-sync --no-instructions > " + folder_.string() + "/initdb.log 2>&1")) {
            error_ = "initdb failed, see " + folder_.string() + "/initdb.log";
            return;
        }
        {
            std::ofstream conf(folder_ / "data" / "postgresql.conf", std::ios::app);
            conf << "listen_addresses = ''\n"
                 << "unix_socket_directories = '" << folder_.string() << "'\n"
                 << "port = 5432\nfsync = off\nsynchronous_commit = off\nmax_connections = 60\n";
        }
        bin_ = bin;
        if (!start())
            error_ = "the server did not start, see " + folder_.string() + "/server.log";
    }

    ~PgCluster()
    {
        stop();
        std::error_code ignored;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ignored);
    }
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // Ends the server at once, as a crash or a pulled cable would.
    void stop()
    {
        if (running_)
            run(bin_.string() + "/pg_ctl -D " + (folder_ / "data").string() + " -m immediate -w stop > /dev/null 2>&1");
        running_ = false;
    }

    // Starts the server (again, after stop()).
    bool start()
    {
        running_ = run(bin_.string() + "/pg_ctl -D " + (folder_ / "data").string() + " -l " + folder_.string() +
                       "/server.log -w -t 60 start > /dev/null 2>&1");
        return running_;
    }

    bool ok() const { return running_; }
    const std::string& error() const { return error_; }
    std::string conninfo() const { return conninfoAt(folder_); }
    // The server's socket.
    std::filesystem::path socket() const { return folder_ / ".s.PGSQL.5432"; }
    // A connection string for a server whose socket is in `folder`.
    static std::string conninfoAt(const std::filesystem::path& folder)
    {
        return "host=" + folder.string() + " port=5432 user=px316t dbname=postgres";
    }

private:
    static std::filesystem::path serverBinaries()
    {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
            if (std::filesystem::exists(entry.path() / "bin" / "initdb", ec))
                found.push_back(entry.path() / "bin");
        std::sort(found.begin(), found.end());
        return found.empty() ? std::filesystem::path() : found.back();
    }

    bool run(const std::string& command) const
    {
        // The folder names come from mkdtemp: no characters the shell would read.
        return std::system((asUser_ + "sh -c 'cd " + folder_.string() + " && " + command + "'").c_str()) == 0;
    }

    std::filesystem::path folder_;
    std::filesystem::path bin_;
    std::string asUser_;
    std::string error_;
    bool running_ = false;
};

} // namespace px316t::testing
