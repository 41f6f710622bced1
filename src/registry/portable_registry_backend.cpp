// The registry outside Windows: keys and values in an SQLite file, and the read-only
// HKLM\HARDWARE subtree that shows the machine's serial ports as Windows' serial drivers do.

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "registry/cls_registry_access.h"
#include "registry/reg_text.h"
#include "registry/registry_backend.h"
#include "registry/user_folders.h"
#include "table/path_text.h"

namespace px316t {

namespace {

using regtext::iequals;

// Windows' own limits: a key name of at most 255 characters, at most 512 levels deep.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxKeyDepth = 512;
constexpr int kBusyTimeoutMs = 5000;

// Store ids of the root keys: 1 for HKEY_CLASSES_ROOT up to 7 for HKEY_DYN_DATA.
std::optional<sqlite3_int64> rootId(std::uint32_t root) {
    if (root < HKEY_CLASSES_ROOT_HANDLE || root > HKEY_DYN_DATA_HANDLE) return std::nullopt;
    return static_cast<sqlite3_int64>(root - HKEY_CLASSES_ROOT_HANDLE) + 1;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Statement& bind(int index, sqlite3_int64 value) {
        if (m_stmt) sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Statement& bindText(int index, const std::string& text) {
        if (m_stmt) sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int index, const std::string& data) {
        if (m_stmt) sqlite3_bind_blob(m_stmt, index, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    sqlite3_int64 columnInt(int column) { return sqlite3_column_int64(m_stmt, column); }
    std::string columnBytes(int column) {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        const int size = sqlite3_column_bytes(m_stmt, column);
        return data ? std::string(data, static_cast<std::size_t>(size)) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// One transaction; rolled back unless committed.
class Transaction {
public:
    Transaction(sqlite3* db, bool write) : m_db(db) {
        m_open = sqlite3_exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (m_open) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool ok() const { return m_open; }
    bool commit() {
        if (!m_open) return false;
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
        m_open = false;
        return true;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER,
    name TEXT NOT NULL COLLATE NOCASE,
    UNIQUE(parent, name));
CREATE TABLE IF NOT EXISTS reg_values(
    seq INTEGER PRIMARY KEY,
    key_id INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key_id, name));
INSERT OR IGNORE INTO reg_keys(id, parent, name) VALUES
    (1, NULL, 'HKEY_CLASSES_ROOT'), (2, NULL, 'HKEY_CURRENT_USER'), (3, NULL, 'HKEY_LOCAL_MACHINE'),
    (4, NULL, 'HKEY_USERS'), (5, NULL, 'HKEY_PERFORMANCE_DATA'), (6, NULL, 'HKEY_CURRENT_CONFIG'),
    (7, NULL, 'HKEY_DYN_DATA');
)sql";

class PortableRegistryBackend final : public RegistryBackend {
public:
    explicit PortableRegistryBackend(const PortableRegistryOptions& options)
        : m_file(options.storeFile.empty() ? defaultRegistryStoreFile() : options.storeFile),
          m_ports(options.ports) {}

    ~PortableRegistryBackend() override {
        if (m_db) sqlite3_close(m_db);
    }

    long openKey(std::uint32_t root, const std::string& subPath, RegAccess access, bool create,
                 std::uint32_t& key) override {
        std::lock_guard lock(m_mutex);
        key = 0;
        const auto rid = rootId(root);
        if (!rid) return REG_ERROR_INVALID_HANDLE;
        std::vector<std::string> parts;
        if (const long rc = splitPath(subPath, parts); rc != REG_ERROR_SUCCESS) return rc;

        OpenKey opened;
        opened.access = access;
        if (const auto kind = hardwareKind(root, parts)) {
            // The machine's hardware description is read-only, as it is for a user on Windows.
            if (*kind == Kind::Missing) return create ? REG_ERROR_ACCESS_DENIED : REG_ERROR_FILE_NOT_FOUND;
            if (create || access != RegAccess::Read) return REG_ERROR_ACCESS_DENIED;
            opened.kind = *kind;
            if (opened.kind == Kind::SerialComm) opened.ports = m_ports.ports();  // built at every read
        } else if (parts.empty()) {
            opened.kind = Kind::Stored;  // roots always exist, even without a store file
            opened.id = *rid;
        } else {
            if (!ensureDb()) return REG_ERROR_CANTOPEN;
            const long rc = create ? createStored(*rid, parts, opened.id) : findStored(*rid, parts, opened.id);
            if (rc != REG_ERROR_SUCCESS) return rc;
            opened.kind = Kind::Stored;
        }
        key = nextHandle();
        m_open.emplace(key, std::move(opened));
        return REG_ERROR_SUCCESS;
    }

    long closeKey(std::uint32_t key) override {
        std::lock_guard lock(m_mutex);
        return m_open.erase(key) ? REG_ERROR_SUCCESS : REG_ERROR_INVALID_HANDLE;
    }

    long deleteKey(std::uint32_t key) override {
        std::lock_guard lock(m_mutex);
        const OpenKey* opened = find(key);
        if (!opened) return REG_ERROR_INVALID_HANDLE;
        // Roots (ids 1 to 7) and the live hardware keys cannot be deleted.
        if (opened->kind != Kind::Stored || opened->access != RegAccess::Full || opened->id <= 7)
            return REG_ERROR_ACCESS_DENIED;
        if (!ensureDb()) return REG_ERROR_CANTOPEN;
        Transaction tx(m_db, true);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        if (!storedExists(opened->id)) return REG_ERROR_KEY_DELETED;
        static constexpr const char* kSubtree =
            "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k JOIN sub ON k.parent = sub.id) ";
        Statement values(m_db, (std::string(kSubtree) + "DELETE FROM reg_values WHERE key_id IN sub").c_str());
        Statement keys(m_db, (std::string(kSubtree) + "DELETE FROM reg_keys WHERE id IN sub").c_str());
        if (values.bind(1, opened->id).step() != SQLITE_DONE || keys.bind(1, opened->id).step() != SQLITE_DONE)
            return REG_ERROR_CANTOPEN;
        return tx.commit() ? REG_ERROR_SUCCESS : REG_ERROR_CANTOPEN;
    }

    long enumKey(std::uint32_t key, std::uint32_t index, std::string& name) override {
        std::lock_guard lock(m_mutex);
        const OpenKey* opened = find(key);
        if (!opened) return REG_ERROR_INVALID_HANDLE;
        switch (opened->kind) {
            case Kind::Hardware:
                return enumFixed({"DEVICEMAP"}, index, name);
            case Kind::DeviceMap:
                return enumFixed({"SERIALCOMM"}, index, name);
            case Kind::SerialComm:
            case Kind::Missing:
                return REG_ERROR_NO_MORE_ITEMS;
            case Kind::Stored:
                break;
        }
        if (opened->id == *rootId(HKEY_LOCAL_MACHINE_HANDLE)) {
            // HKLM lists the live HARDWARE key first, then what the store holds.
            if (index == 0) {
                name = "HARDWARE";
                return REG_ERROR_SUCCESS;
            }
            --index;
        }
        if (!ensureDb()) return REG_ERROR_CANTOPEN;
        Transaction tx(m_db, false);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        if (!storedExists(opened->id)) return REG_ERROR_KEY_DELETED;
        Statement stmt(m_db, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
        const int rc = stmt.bind(1, opened->id).bind(2, index).step();
        if (rc == SQLITE_DONE) return REG_ERROR_NO_MORE_ITEMS;
        if (rc != SQLITE_ROW) return REG_ERROR_CANTOPEN;
        name = stmt.columnBytes(0);
        return REG_ERROR_SUCCESS;
    }

    long enumValue(std::uint32_t key, std::uint32_t index, std::string& name, std::uint32_t& type,
                   std::string& data) override {
        std::lock_guard lock(m_mutex);
        const OpenKey* opened = find(key);
        if (!opened) return REG_ERROR_INVALID_HANDLE;
        if (opened->kind == Kind::SerialComm) {
            if (index >= opened->ports.size()) return REG_ERROR_NO_MORE_ITEMS;
            const auto& port = opened->ports[index];
            name = port.valueName;
            type = REG_TYPE_SZ;
            data = comData(port.comNumber);
            return REG_ERROR_SUCCESS;
        }
        if (opened->kind != Kind::Stored) return REG_ERROR_NO_MORE_ITEMS;
        if (!ensureDb()) return REG_ERROR_CANTOPEN;
        Transaction tx(m_db, false);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        if (!storedExists(opened->id)) return REG_ERROR_KEY_DELETED;
        Statement stmt(m_db, "SELECT name, type, data FROM reg_values WHERE key_id = ?1 ORDER BY seq LIMIT 1 OFFSET ?2");
        const int rc = stmt.bind(1, opened->id).bind(2, index).step();
        if (rc == SQLITE_DONE) return REG_ERROR_NO_MORE_ITEMS;
        if (rc != SQLITE_ROW) return REG_ERROR_CANTOPEN;
        name = stmt.columnBytes(0);
        type = static_cast<std::uint32_t>(stmt.columnInt(1));
        data = stmt.columnBytes(2);
        return REG_ERROR_SUCCESS;
    }

    long queryValue(std::uint32_t key, const std::string& name, std::uint32_t& type, std::string& data) override {
        std::lock_guard lock(m_mutex);
        const OpenKey* opened = find(key);
        if (!opened) return REG_ERROR_INVALID_HANDLE;
        if (opened->kind == Kind::SerialComm) {
            for (const auto& port : opened->ports) {
                if (iequals(port.valueName, name)) {
                    type = REG_TYPE_SZ;
                    data = comData(port.comNumber);
                    return REG_ERROR_SUCCESS;
                }
            }
            return REG_ERROR_FILE_NOT_FOUND;
        }
        if (opened->kind != Kind::Stored) return REG_ERROR_FILE_NOT_FOUND;
        if (!ensureDb()) return REG_ERROR_CANTOPEN;
        Transaction tx(m_db, false);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        if (!storedExists(opened->id)) return REG_ERROR_KEY_DELETED;
        Statement stmt(m_db, "SELECT type, data FROM reg_values WHERE key_id = ?1 AND name = ?2");
        const int rc = stmt.bind(1, opened->id).bindText(2, name).step();
        if (rc == SQLITE_DONE) return REG_ERROR_FILE_NOT_FOUND;
        if (rc != SQLITE_ROW) return REG_ERROR_CANTOPEN;
        type = static_cast<std::uint32_t>(stmt.columnInt(0));
        data = stmt.columnBytes(1);
        return REG_ERROR_SUCCESS;
    }

    long setValue(std::uint32_t key, const std::string& name, std::uint32_t type, const std::string& data) override {
        std::lock_guard lock(m_mutex);
        const OpenKey* opened = find(key);
        if (!opened) return REG_ERROR_INVALID_HANDLE;
        if (opened->kind != Kind::Stored || opened->access == RegAccess::Read) return REG_ERROR_ACCESS_DENIED;
        if (name.find('\0') != std::string::npos) return REG_ERROR_INVALID_PARAMETER;
        if (!ensureDb()) return REG_ERROR_CANTOPEN;
        Transaction tx(m_db, true);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        if (!storedExists(opened->id)) return REG_ERROR_KEY_DELETED;
        // Replacing a value keeps its place in the enumeration order.
        Statement stmt(m_db,
                       "INSERT INTO reg_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                       "ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        if (stmt.bind(1, opened->id).bindText(2, name).bind(3, type).bindBlob(4, data).step() != SQLITE_DONE)
            return REG_ERROR_CANTOPEN;
        return tx.commit() ? REG_ERROR_SUCCESS : REG_ERROR_CANTOPEN;
    }

    long deleteValue(std::uint32_t key, const std::string& name) override {
        std::lock_guard lock(m_mutex);
        const OpenKey* opened = find(key);
        if (!opened) return REG_ERROR_INVALID_HANDLE;
        if (opened->kind != Kind::Stored || opened->access == RegAccess::Read) return REG_ERROR_ACCESS_DENIED;
        if (!ensureDb()) return REG_ERROR_CANTOPEN;
        Transaction tx(m_db, true);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        if (!storedExists(opened->id)) return REG_ERROR_KEY_DELETED;
        Statement stmt(m_db, "DELETE FROM reg_values WHERE key_id = ?1 AND name = ?2");
        if (stmt.bind(1, opened->id).bindText(2, name).step() != SQLITE_DONE) return REG_ERROR_CANTOPEN;
        if (sqlite3_changes(m_db) == 0) return REG_ERROR_FILE_NOT_FOUND;
        return tx.commit() ? REG_ERROR_SUCCESS : REG_ERROR_CANTOPEN;
    }

private:
    enum class Kind { Stored, Hardware, DeviceMap, SerialComm, Missing };

    struct OpenKey {
        Kind kind = Kind::Stored;
        sqlite3_int64 id = 0;
        RegAccess access = RegAccess::Read;
        std::vector<SerialPortEntry> ports;
    };

    static long splitPath(const std::string& subPath, std::vector<std::string>& parts) {
        std::size_t start = 0;
        while (start <= subPath.size()) {
            auto end = subPath.find('\\', start);
            if (end == std::string::npos) end = subPath.size();
            std::string part = subPath.substr(start, end - start);
            if (part.size() > kMaxKeyNameChars || part.find('\0') != std::string::npos)
                return REG_ERROR_INVALID_PARAMETER;
            if (!part.empty()) parts.push_back(std::move(part));  // a doubled or trailing "\" is no level
            start = end + 1;
        }
        return parts.size() > kMaxKeyDepth ? REG_ERROR_INVALID_PARAMETER : REG_ERROR_SUCCESS;
    }

    static std::optional<Kind> hardwareKind(std::uint32_t root, const std::vector<std::string>& parts) {
        if (root != HKEY_LOCAL_MACHINE_HANDLE || parts.empty() || !iequals(parts[0], "HARDWARE")) return std::nullopt;
        if (parts.size() == 1) return Kind::Hardware;
        if (!iequals(parts[1], "DEVICEMAP")) return Kind::Missing;
        if (parts.size() == 2) return Kind::DeviceMap;
        if (parts.size() == 3 && iequals(parts[2], "SERIALCOMM")) return Kind::SerialComm;
        return Kind::Missing;
    }

    static long enumFixed(const std::vector<std::string>& names, std::uint32_t index, std::string& name) {
        if (index >= names.size()) return REG_ERROR_NO_MORE_ITEMS;
        name = names[index];
        return REG_ERROR_SUCCESS;
    }

    static std::string comData(int comNumber) {
        std::string data = "COM" + std::to_string(comNumber);
        data.push_back('\0');
        return data;
    }

    const OpenKey* find(std::uint32_t key) const {
        const auto it = m_open.find(key);
        return it == m_open.end() ? nullptr : &it->second;
    }

    std::uint32_t nextHandle() {
        do {
            ++m_nextHandle;
        } while (m_nextHandle == 0 || m_open.count(m_nextHandle) != 0);
        return m_nextHandle;
    }

    bool ensureDb() {
        if (m_db) return true;
        std::error_code ec;
        if (m_file.has_parent_path()) std::filesystem::create_directories(m_file.parent_path(), ec);
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(utf8FromPath(m_file).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(db);
            return false;
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // Another process setting up the same new store at that moment can hold a lock that
        // the switch to WAL does not wait for: the set-up is tried again until the busy time-out.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
        int rc = setUpStore(db);
        while ((rc & 0xFF) == SQLITE_BUSY && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            rc = setUpStore(db);
        }
        if (rc != SQLITE_OK) {
            sqlite3_close(db);
            return false;
        }
        m_db = db;
        return true;
    }

    // WAL keeps readers and a writer of another process apart; FULL makes every commit durable.
    static int setUpStore(sqlite3* db) {
        for (const char* step : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "BEGIN IMMEDIATE", kSchema,
                                 "COMMIT"}) {
            const int rc = sqlite3_exec(db, step, nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                if (!sqlite3_get_autocommit(db))
                    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                return rc;
            }
        }
        return SQLITE_OK;
    }

    bool storedExists(sqlite3_int64 id) {
        Statement stmt(m_db, "SELECT 1 FROM reg_keys WHERE id = ?1");
        return stmt.bind(1, id).step() == SQLITE_ROW;
    }

    long findStored(sqlite3_int64 rootKey, const std::vector<std::string>& parts, sqlite3_int64& id) {
        Transaction tx(m_db, false);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        id = rootKey;
        for (const auto& part : parts) {
            Statement stmt(m_db, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
            const int rc = stmt.bind(1, id).bindText(2, part).step();
            if (rc == SQLITE_DONE) return REG_ERROR_FILE_NOT_FOUND;
            if (rc != SQLITE_ROW) return REG_ERROR_CANTOPEN;
            id = stmt.columnInt(0);
        }
        return REG_ERROR_SUCCESS;
    }

    long createStored(sqlite3_int64 rootKey, const std::vector<std::string>& parts, sqlite3_int64& id) {
        Transaction tx(m_db, true);
        if (!tx.ok()) return REG_ERROR_CANTOPEN;
        id = rootKey;
        for (const auto& part : parts) {
            Statement insert(m_db, "INSERT OR IGNORE INTO reg_keys(parent, name) VALUES(?1, ?2)");
            if (insert.bind(1, id).bindText(2, part).step() != SQLITE_DONE) return REG_ERROR_CANTOPEN;
            Statement select(m_db, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
            if (select.bind(1, id).bindText(2, part).step() != SQLITE_ROW) return REG_ERROR_CANTOPEN;
            id = select.columnInt(0);
        }
        return tx.commit() ? REG_ERROR_SUCCESS : REG_ERROR_CANTOPEN;
    }

    std::mutex m_mutex;
    std::filesystem::path m_file;
    SerialPortMap m_ports;
    sqlite3* m_db = nullptr;
    std::map<std::uint32_t, OpenKey> m_open;
    std::uint32_t m_nextHandle = 0;
};

}  // namespace

std::filesystem::path defaultRegistryStoreFile() { return userDataHome() / "px316t" / "registry.sqlite"; }

std::shared_ptr<RegistryBackend> makePortableRegistryBackend(const PortableRegistryOptions& options) {
    return std::make_shared<PortableRegistryBackend>(options);
}

#ifndef _WIN32
std::shared_ptr<RegistryBackend> makeDefaultRegistryBackend() { return makePortableRegistryBackend(); }
#endif

}  // namespace px316t
