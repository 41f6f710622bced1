#pragma once
// The small pieces of the SQLite API that the station's record and the local
// capcode sequence both use.
#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace px316t::sqlite {

inline std::string lastError(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

// Runs statements without results; false with `error` set when one fails.
inline bool exec(sqlite3* db, const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message ? message : lastError(db);
    sqlite3_free(message);
    return false;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return ok_; }
    sqlite3_stmt* handle() { return s_; }
    Statement& text(int i, const std::string& v)
    {
        sqlite3_bind_text(s_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& integer(int i, std::int64_t v)
    {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    int step() { return sqlite3_step(s_); }
    std::int64_t column(int i) { return sqlite3_column_int64(s_, i); }
    bool isNull(int i) { return sqlite3_column_type(s_, i) == SQLITE_NULL; }
    std::string columnText(int i)
    {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, i));
        return t ? t : "";
    }

private:
    sqlite3_stmt* s_ = nullptr;
    bool ok_ = false;
};

} // namespace px316t::sqlite
