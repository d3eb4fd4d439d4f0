// The Session on an embedded SQLite database file.
//
// connect() opens (or creates) the file, sets a write-ahead journal, full
// synchronous commits and a 30 s busy timeout, and gives the database every
// table, index and sequence of the schema it lacks, in one transaction (a
// new file gets the whole schema, an older one what was added since). A path in a directory
// that does not exist fails; a later connect() tries again.
//
// Each transaction begins with BEGIN IMMEDIATE, lazily, before its first
// statement: it takes the file's write lock at once, so loaders that share a
// file queue on the busy timeout instead of failing on a lock upgrade. A
// statement that fails undoes only itself. Should SQLite instead roll the
// whole transaction back (an I/O error, a full disk), the next commit()
// fails and stores nothing, so a file is never stored in part.
//
// The file and its write-ahead log are identified (device and inode) when
// they are first seen open; storage_problem() says when the path names
// another file, or none, since: a file removed under the connection keeps
// taking commits that vanish with it.
//
// Sequences are rows of schema::kSqliteSequenceTable advanced inside the
// transaction. When a transaction that drew values is rolled back, the
// draws are written again on their own, so a value is never handed out twice.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/session.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qx::db {

class SqliteSession final : public Session {
 public:
  SqliteSession(std::string path, std::string description);
  ~SqliteSession() override;
  SqliteSession(const SqliteSession&) = delete;
  SqliteSession& operator=(const SqliteSession&) = delete;

  Status connect() override;
  bool connected() const override { return db_ != nullptr; }
  Status execute(std::string_view sql, std::span<const Bind> binds) override;
  Status query_integer(std::string_view sql, std::span<const Bind> binds,
                       std::int64_t& out) override;
  Status query_text(std::string_view sql, std::span<const Bind> binds, std::string& out) override;
  Status query_rows(std::string_view sql, std::span<const Bind> binds, Rows& out) override;
  Status next_value(std::string_view sequence, std::int64_t& out) override;
  // One statement for all of them: the sequence moves on by out.size().
  Status next_values(std::string_view sequence, std::span<std::int64_t> out) override;
  Status commit() override;
  Status rollback() override;
  std::string description() const override { return description_; }
  std::string storage_problem() override;
  std::uint64_t commits_made() const override { return commits_made_; }

 private:
  struct ConnectionDeleter {
    void operator()(sqlite3* db) const;
  };
  struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const;
  };
  using Connection = std::unique_ptr<sqlite3, ConnectionDeleter>;
  using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  void close();
  Status failure_from_db(int code) const;
  Status run_pragmas_and_schema();
  // `complete` is true when the file has every schema object and sequence.
  Status schema_complete(bool& complete);
  // Runs a statement without binds, prepared for this one run.
  Status exec_plain(const char* sql);
  // The same for a statement run at every transaction (BEGIN, COMMIT),
  // prepared once and kept: preparing it again each time cost about as much
  // as a typical file's claim.
  Status exec_kept(std::string_view sql);
  Status begin_if_needed();
  Status prepared(std::string_view sql, sqlite3_stmt*& statement);
  // Runs a statement in the transaction; `rows` (when given) receives what a
  // query fetched, of which more than `most_rows` rows is a failure.
  Status run(std::string_view sql, std::span<const Bind> binds, Rows* rows,
             std::size_t most_rows = 1);
  // The one value of a one-row, one-column query; nothing for NULL or no row.
  Status run_for_value(std::string_view sql, std::span<const Bind> binds,
                       std::optional<std::string>& value);
  Status bind_all(sqlite3_stmt* statement, std::span<const Bind> binds);
  void note_failure(const Status& status);
  void end_transaction_with_rollback();
  void restore_sequence_draws();

  // A file's device and inode.
  using FileId = std::pair<std::uint64_t, std::uint64_t>;
  // The identity of the file at `path` now, or nothing when it is gone.
  static std::optional<FileId> file_id(const std::string& path);

  std::string path_;
  std::string description_;
  // The database file and its log as the connection opened them.
  std::optional<FileId> database_id_;
  std::optional<FileId> log_id_;
  std::uint64_t commits_made_ = 0;
  // Closed after the statements prepared on it, which are declared after it.
  Connection db_;
  std::unordered_map<std::string, Statement, Hash, std::equal_to<>> statements_;
  bool in_transaction_ = false;
  // Set when SQLite rolled an open transaction back on its own; the next
  // commit() fails with it.
  std::optional<Status> transaction_lost_;
  // The highest value drawn from each sequence in the open transaction.
  std::map<std::string, std::int64_t, std::less<>> draws_;
  // The converted texts of the statement last bound (bind_all), and where
  // each bind's lies in the buffer (kAsIs: the bind's own bytes are bound).
  static constexpr std::size_t kAsIs = static_cast<std::size_t>(-1);
  std::string converted_;
  std::vector<std::pair<std::size_t, std::size_t>> converted_at_;
};

}  // namespace qx::db
