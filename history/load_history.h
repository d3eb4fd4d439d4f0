// The load history: one row per file in qx_load_history, written in the
// same transactions as the file's rows, so that after any crash, restart,
// failed move or lost commit acknowledgement the database itself says
// whether a file was loaded, and how far a file loaded line by line got.
//
// A file is claimed before it is read further: on a database that has
// advisory locks (PostgreSQL) with a session lock named by the file's
// name, size and time (FileIdentity::lock_number), which the server
// releases if this instance dies; the lookup of
// the file's row rides in the same query. The history's unique identity is
// the last guard: a second row for a file fails the transaction that writes
// it (Session::execute_account).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "db/status.h"
#include "history/file_identity.h"

namespace qx::history {

// A file's account as far as its committed transactions go, or as the
// transaction in hand will leave it.
struct [[nodiscard]] LoadProgress {
  enum class State {
    new_file,  // no row: never loaded, nor begun
    loading,   // lines loaded line by line, up to lines_done
    loaded,
  };
  State state = State::new_file;
  std::int64_t key = 0;  // the file key; 0 for none
  std::int64_t lines_done = 0;
  // Where a file loaded line by line resumes: the booking key and the
  // shared, R, V and F serials after its last committed line.
  double booking_key = 0;
  std::array<std::int32_t, 4> serials{1, 1, 1, 1};
  std::int64_t rows_stored = 0;
  std::int64_t rows_rejected = 0;
  std::int64_t first_rejected_line = 0;  // 0 for none
  // A file key the claim drew for the file's load (claim with a sequence,
  // on a database that answers both in one round trip); 0 for none.
  std::int64_t drawn_key = 0;
  // Set by a claim that found a row written under the earlier digest
  // (file_identity.h), to that digest: the row is the file's only if the
  // file's bytes give it (adopt_earlier_row()). Empty otherwise.
  std::string earlier_digest;
};

// Settles a claim that found a row under the earlier digest, by the bytes
// the file's identity was taken from: when they give that digest, the row
// is the file's, and `file` takes the digest so that its writes go to that
// row; otherwise the row is another file's and `progress` is that of a new
// file (keeping the key the claim drew).
void adopt_earlier_row(std::string_view bytes, FileIdentity& file, LoadProgress& progress);

// True for the failure of a write of a file's history row whose identity the
// history already holds: another instance claimed the file first and wrote
// its row (the history's unique identity, the backend's unique violation on
// the history's table). It comes back from the write or, on a backend that
// holds writes back, from the next query, draw or commit.
[[nodiscard]] bool is_conflict(const db::Status& status);

enum class Claim {
  claimed,  // this instance has the file; `progress` says how far it got
  busy,     // another instance is loading it now
};

class LoadHistory {
 public:
  // `program` ("tarvo") and `instance` ("host:pid" or a chosen name) are
  // written into every row. `session` must outlive the history.
  LoadHistory(db::Session& session, std::string program, std::string instance);

  // Claims `file` and reads its row into `progress`. A failed status means
  // the database could not be asked; nothing is claimed then. With
  // `key_sequence` (a loader that keys a file with one value of it), a
  // database with advisory locks also draws that value in the same query,
  // into progress.drawn_key: a file then costs no round trip for its key.
  db::Status claim(const FileIdentity& file, Claim& claim, LoadProgress& progress,
                   std::string_view key_sequence = {});

  // Claims `files` as claim() does each, into `claims` and `progress`
  // (resized to match), in one query on a database with advisory locks
  // when `key_sequence` is given, so that a batch of files costs one round
  // trip. A failed status means the database could not be asked; the
  // claims are then to be taken as not made.
  db::Status claim_all(std::span<const FileIdentity* const> files, std::vector<Claim>& claims,
                       std::vector<LoadProgress>& progress, std::string_view key_sequence);

  // Gives a claim back once the file is handled. The release may be held
  // back and sent with the session's next statement.
  void release(const FileIdentity& file);

  // Writes the file's row as the first write of its first transaction, in
  // state "loading".
  db::Status open_entry(const FileIdentity& file);

  // Writes `progress` into the file's row, in the transaction in hand.
  // `progress` is read when the write is sent, and again if the
  // transaction is sent again, so it must live until the commit returns.
  db::Status write_progress(const FileIdentity& file, const LoadProgress& progress);

  // Writes the file's row once, in its final state (loaded, with its
  // account), as the first write of its rows: for a file whose account is
  // known before its rows are written (in a batch every row is stored or
  // the batch is given up, batch_writer.h). `progress` is read when the
  // write is sent.
  db::Status write_loaded_entry(const FileIdentity& file, const LoadProgress& progress);

  // The same for many files in one statement, on a database that binds
  // arrays (db::Session::binds_arrays); `progress[i]` is the account of
  // `files[i]`, in its final state, read when the call is made.
  db::Status write_loaded_entries(std::span<const FileIdentity* const> files,
                                  std::span<const LoadProgress* const> progress);

  // Gives the claims of many files back in one statement (release()).
  void release_all(std::span<const FileIdentity* const> files);

  // Gives back every claim this session holds, after a claim failed and
  // its transaction was rolled back: a claim query that fails part-way may
  // have taken some of its files' locks, and a session lock outlives the
  // failure, which would leave those files busy for every other instance
  // for as long as this session lasts. Travels with the next statement,
  // as release() does.
  void release_every_claim();

  const std::string& program() const { return program_; }

 private:
  void append_account(const LoadProgress& progress, std::vector<db::Bind>& binds) const;

  db::Session& session_;
  std::string program_;
  std::string instance_;
};

// The history row of the file in hand, when the loop keeps a history.
struct HistoryEntry {
  LoadHistory* history = nullptr;
  const FileIdentity* file = nullptr;
  // What the claim found, and a key it drew; nullptr with no history.
  const LoadProgress* claimed = nullptr;
};

// "host:pid" of this process: the instance name when none is given.
std::string default_instance_name();

}  // namespace qx::history
