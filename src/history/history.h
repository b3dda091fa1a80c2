// What was transferred from which card: one record a picture copied, kept in an SQLite file,
// so a later run can leave out what it already has. Cards keep local time, so a picture
// whose time moved by whole quarter hours (a time zone, summer time) is still the same.
#pragma once

#include "fs/fs.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace orvix {

// One picture as its card holds it.
struct CardFile {
    std::string card; // CardIdentity::id
    std::string path; // relative to the card's root
    int64_t size = 0;
    int64_t mtime = 0; // seconds since the epoch
};

// True when a card file of modification time then is the same as one of time now: equal, or
// moved by whole quarter hours up to a day either way.
bool same_card_moment(int64_t then, int64_t now);

// $XDG_DATA_HOME/orvix/history.sqlite (~/.local/share by default); "" without a home.
std::string history_file_path();

// The pictures of one source folder as the history names them: their card and their paths
// on it.
class SourceCard {
public:
    explicit SourceCard(const std::string& source_folder, const SystemTables& tables = {});
    // A picture the listing of the source folder gave (its path starts with the folder as
    // given), with its size and time as they are now; nullopt when the folder has no card
    // or the picture cannot be read.
    std::optional<CardFile> file(const std::string& picture) const;

private:
    std::string m_card;
    std::string m_source; // the folder as given, with a trailing separator
    std::string m_within; // where the folder lies on the card, "" or ending in a separator
};

class TransferHistory {
public:
    enum class Access {
        Read,  // a missing file stays missing
        Write, // the file and its folder are made when missing
    };
    // The history at path; nullptr when it cannot be used as asked: a file that is no
    // database (or not ours), locked by another program for longer than a moment, or, for
    // writing, a folder or a file that cannot be written. The file is never removed or
    // replaced; a file that is no database is left untouched.
    static std::unique_ptr<TransferHistory> open(const std::string& path, Access access);
    ~TransferHistory();
    TransferHistory(const TransferHistory&) = delete;
    TransferHistory& operator=(const TransferHistory&) = delete;

    // True when the card held this file when a transfer copied it before.
    bool transferred_before(const CardFile& file);
    // Records the file at once, in a transaction of its own; false when it could not be.
    bool record(const CardFile& file);

private:
    struct CloseDatabase {
        void operator()(sqlite3* db) const;
    };
    struct FinalizeStatement {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Database = std::unique_ptr<sqlite3, CloseDatabase>;
    using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

    TransferHistory(Database db, Statement find, Statement insert);

    Database m_db; // declared first, so it closes after its statements are finalized
    Statement m_find;
    Statement m_insert;
};

} // namespace orvix
