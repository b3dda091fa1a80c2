#include "history/history.h"

#include <sqlite3.h>

#include <utility>

namespace orvix {

namespace {

constexpr int64_t kQuarterHour = 15 * 60;
constexpr int64_t kDay = 24 * 60 * 60;
// Another program of ours may hold the file for one record; longer is a lock that stays.
constexpr int kBusyMilliseconds = 2000;

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS transferred ("
                                " card TEXT NOT NULL,"
                                " path TEXT NOT NULL,"
                                " size INTEGER NOT NULL,"
                                " mtime INTEGER NOT NULL,"
                                " PRIMARY KEY (card, path, size, mtime))";
constexpr const char* kFind = "SELECT mtime FROM transferred WHERE card = ?1 AND path = ?2"
                              " AND size = ?3";
constexpr const char* kInsert =
    "INSERT OR IGNORE INTO transferred (card, path, size, mtime) VALUES (?1, ?2, ?3, ?4)";

// Binds the card and path (and size) of file to the first parameters of statement.
bool bind_file(sqlite3_stmt* statement, const CardFile& file) {
    return sqlite3_bind_text(statement, 1, file.card.data(), static_cast<int>(file.card.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK &&
           sqlite3_bind_text(statement, 2, file.path.data(), static_cast<int>(file.path.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK &&
           sqlite3_bind_int64(statement, 3, file.size) == SQLITE_OK;
}

// Leaves the statement ready for its next use whatever road ends this one.
class ResetGuard {
public:
    explicit ResetGuard(sqlite3_stmt* statement) : m_statement(statement) {}
    ~ResetGuard() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    ResetGuard(const ResetGuard&) = delete;
    ResetGuard& operator=(const ResetGuard&) = delete;

private:
    sqlite3_stmt* m_statement;
};

} // namespace

bool same_card_moment(int64_t then, int64_t now) {
    const int64_t shift = now - then;
    return shift >= -kDay && shift <= kDay && shift % kQuarterHour == 0;
}

std::string history_file_path() {
    const std::string data = xdg_base_folder(XdgBase::Data);
    return data.empty() ? std::string() : data + "orvix/history.sqlite";
}

// --- The source's card ---------------------------------------------------------------------

SourceCard::SourceCard(const std::string& source_folder, const SystemTables& tables)
    : m_source(add_trailing_separator(source_folder)) {
    const CardIdentity card = card_identity(source_folder, tables);
    const std::string real = real_path(source_folder);
    if (card.id.empty() || real.empty())
        return;
    const std::string folder = add_trailing_separator(real);
    if (!folder.starts_with(card.root))
        return;
    m_card = card.id;
    m_within = folder.substr(card.root.size());
}

std::optional<CardFile> SourceCard::file(const std::string& picture) const {
    if (m_card.empty() || !picture.starts_with(m_source))
        return std::nullopt;
    const std::optional<FileStatus> status = file_status(picture);
    if (!status || !status->is_regular)
        return std::nullopt;
    return CardFile{m_card, m_within + picture.substr(m_source.size()), status->size,
                    status->mtime_sec};
}

// --- The history file ------------------------------------------------------------------------

void TransferHistory::CloseDatabase::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

void TransferHistory::FinalizeStatement::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

TransferHistory::TransferHistory(Database db, Statement find, Statement insert)
    : m_db(std::move(db)), m_find(std::move(find)), m_insert(std::move(insert)) {}

TransferHistory::~TransferHistory() = default;

std::unique_ptr<TransferHistory> TransferHistory::open(const std::string& path, Access access) {
    if (path.empty())
        return nullptr;
    const std::string folder = parent_folder(path);
    if (access == Access::Read && !file_exists(path))
        return nullptr;
    // The journal is written beside the file: a folder that takes no new file takes no record.
    if (access == Access::Write &&
        ((!folder_exists(folder) && make_path(folder) != 0) || !may_create_in(folder)))
        return nullptr;

    const int flags =
        access == Access::Read ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(raw);
    if (opened != SQLITE_OK)
        return nullptr;
    if (access == Access::Write && sqlite3_db_readonly(db.get(), "main") != 0)
        return nullptr;
    sqlite3_busy_timeout(db.get(), kBusyMilliseconds);
    // A file that is no database fails here, on its first read, before anything is written.
    if (access == Access::Write &&
        sqlite3_exec(db.get(), kSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return nullptr;

    auto prepare = [&db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db.get(), sql, -1, &statement, nullptr);
        return Statement(statement);
    };
    Statement find = prepare(kFind);
    Statement insert = access == Access::Write ? prepare(kInsert) : Statement();
    if (!find || (access == Access::Write && !insert))
        return nullptr;
    return std::unique_ptr<TransferHistory>(
        new TransferHistory(std::move(db), std::move(find), std::move(insert)));
}

bool TransferHistory::transferred_before(const CardFile& file) {
    const ResetGuard reset(m_find.get());
    if (!bind_file(m_find.get(), file))
        return false;
    while (sqlite3_step(m_find.get()) == SQLITE_ROW) {
        if (same_card_moment(sqlite3_column_int64(m_find.get(), 0), file.mtime))
            return true;
    }
    return false;
}

bool TransferHistory::record(const CardFile& file) {
    if (!m_insert)
        return false;
    const ResetGuard reset(m_insert.get());
    return bind_file(m_insert.get(), file) &&
           sqlite3_bind_int64(m_insert.get(), 4, file.mtime) == SQLITE_OK &&
           sqlite3_step(m_insert.get()) == SQLITE_DONE;
}

} // namespace orvix
