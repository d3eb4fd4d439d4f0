// The loaders reach the operating system only through this interface: list
// a directory, read, write, lock and identify a file, rename, copy, sync,
// remove, the clock and sleeping.
// RealEnv is the one real implementation (std::filesystem and the C++
// library); tests substitute an Env that fails chosen calls or shows a file
// that is still being written.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace qx::os {

// The outcome of one file-system call, or of a step made of several:
// success, or the reason it failed. A step names the call that failed in
// `context` ("copy failed"), so that its reason reads whole. A caller that
// drops one says why the failure changes nothing there.
class [[nodiscard]] IoResult {
 public:
  static IoResult success() { return IoResult(); }
  static IoResult failure(std::error_code error, std::string context = {}) {
    return IoResult(error, std::move(context));
  }

  bool ok() const { return !error_; }
  const std::error_code& error() const { return error_; }
  // The step that failed ("copy failed"), empty for a single call.
  const std::string& context() const { return context_; }
  // "copy failed: No space left on device", or the error's text alone.
  std::string reason() const {
    return context_.empty() ? error_.message() : context_ + ": " + error_.message();
  }

 private:
  IoResult() = default;
  IoResult(std::error_code error, std::string context)
      : error_(error), context_(std::move(context)) {}
  std::error_code error_;
  std::string context_;
};

// What a directory entry is, the entry itself and not what a symbolic link
// names: only a regular file is ever read.
enum class EntryType { regular, symbolic_link, directory, fifo, socket, device, other };

// "a symbolic link", "a FIFO", ...: the type as an operator's line names it.
const char* describe(EntryType type);

struct DirectoryEntry {
  std::string name;  // the name alone, as the directory holds it
  EntryType type = EntryType::other;
  // Size and modification time are those of a regular file; zero otherwise.
  std::uintmax_t size = 0;
  std::chrono::system_clock::time_point modified;
};

// Which file a name held at one moment: two identities are equal only for
// the same file, unchanged in size and modification time.
struct FileNode {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uintmax_t size = 0;
  std::chrono::system_clock::time_point modified;
  friend bool operator==(const FileNode&, const FileNode&) = default;
  // Whether both name the same file, whatever became of its bytes since.
  bool same_inode(const FileNode& other) const {
    return device == other.device && inode == other.inode;
  }
};

// An exclusive claim on a file, held by its open descriptor: released when
// the object goes (or the process ends, whatever ends it).
class FileLock {
 public:
  virtual ~FileLock() = default;
  // The file the descriptor holds, as it was when the claim was taken.
  FileNode node;
};

// Whether a failure says the name holds no regular file: a symbolic link
// (never followed), a directory, a FIFO, a socket or a device.
bool not_a_regular_file(const IoResult& result);
// The failure that not_a_regular_file() recognises, for an Env that is not
// the real one.
IoResult not_a_regular_file_failure();

class Env {
 public:
  virtual ~Env() = default;

  // Fills `entries` with what `dir` holds, in no particular order, each with
  // its own type (a symbolic link is not followed). After a failure
  // `entries` is empty.
  virtual IoResult list_directory(const std::filesystem::path& dir,
                                  std::vector<DirectoryEntry>& entries) = 0;
  // Reads the whole file, byte for byte, and says which file it was: the
  // identity is taken from the descriptor the bytes came through, so it
  // belongs to them even when the name is replaced meanwhile. Only a regular
  // file is read: anything else fails at once (not_a_regular_file), without
  // waiting on a FIFO or following a link. After a failure `contents` is
  // empty.
  virtual IoResult read_file(const std::filesystem::path& path, std::string& contents,
                             FileNode& identity) = 0;
  // The same for a file this Env locked (lock_file), read through the
  // lock's own descriptor where the Env has one, which saves opening the
  // name again: the bytes and identity are then those of the locked file
  // even when the name was given to another file since, just as when that
  // happens right after a read (the move of the loaded file tells it). An
  // Env without one reads the file by its name.
  virtual IoResult read_locked(const FileLock& lock, const std::filesystem::path& path,
                               std::string& contents, FileNode& identity) {
    static_cast<void>(lock);
    return read_file(path, contents, identity);
  }
  // The identity of the file the name holds now (a symbolic link followed).
  virtual IoResult stat_file(const std::filesystem::path& path, FileNode& identity) = 0;
  // The identity of the entry itself: a symbolic link is not followed and
  // has its own identity.
  virtual IoResult stat_entry(const std::filesystem::path& path, FileNode& identity) = 0;
  // Takes an exclusive lock on the file without waiting. Fails with
  // std::errc::operation_would_block when another holder has it (another
  // process, or another lock in this one), with no_such_file_or_directory
  // when the file is gone, and as not_a_regular_file when the name holds
  // anything but a regular file (a link is not followed). `lock` holds the
  // claim, and names the file it holds, after success.
  virtual IoResult lock_file(const std::filesystem::path& path,
                             std::unique_ptr<FileLock>& lock) = 0;
  // Creates or replaces `path` with `contents`, not yet flushed (sync_file).
  // After a failure `path` may hold a partial file.
  virtual IoResult write_file(const std::filesystem::path& path, std::string_view contents) = 0;
  // Renames `from` to `to`, replacing a file at `to`. After a failure both
  // are as they were. Fails with std::errc::cross_device_link when the two
  // lie on different file systems.
  virtual IoResult rename_file(const std::filesystem::path& from,
                               const std::filesystem::path& to) = 0;
  // The same, but never replacing: fails with std::errc::file_exists when
  // `to` is taken, and both stay as they were.
  virtual IoResult rename_no_replace(const std::filesystem::path& from,
                                     const std::filesystem::path& to) = 0;
  // Copies `from` to `to`, replacing a file at `to`, not yet flushed
  // (sync_file). After a failure `to` may hold a partial copy; `from` is
  // untouched.
  virtual IoResult copy_file(const std::filesystem::path& from,
                             const std::filesystem::path& to) = 0;
  // Flushes a file, or a directory's entries, to disk.
  virtual IoResult sync_file(const std::filesystem::path& path) = 0;
  virtual IoResult remove_file(const std::filesystem::path& path) = 0;
  // Creates the directory and the missing directories above it; succeeds
  // when it exists already.
  virtual IoResult make_directory(const std::filesystem::path& path) = 0;

  // The wall clock (times told and stored, settle ages) and the steady one
  // (how long a batch or a file took); a fake may set either.
  virtual std::chrono::system_clock::time_point now() = 0;
  virtual std::chrono::steady_clock::time_point steady_now() = 0;
  virtual void sleep_for(std::chrono::milliseconds duration) = 0;
  // The directory a relative path typed by the operator is taken against.
  virtual std::filesystem::path current_directory() = 0;
};

class RealEnv : public Env {
 public:
  IoResult list_directory(const std::filesystem::path& dir,
                          std::vector<DirectoryEntry>& entries) override;
  IoResult read_file(const std::filesystem::path& path, std::string& contents,
                     FileNode& identity) override;
  IoResult read_locked(const FileLock& lock, const std::filesystem::path& path,
                       std::string& contents, FileNode& identity) override;
  IoResult stat_file(const std::filesystem::path& path, FileNode& identity) override;
  IoResult stat_entry(const std::filesystem::path& path, FileNode& identity) override;
  IoResult lock_file(const std::filesystem::path& path, std::unique_ptr<FileLock>& lock) override;
  IoResult write_file(const std::filesystem::path& path, std::string_view contents) override;
  IoResult rename_file(const std::filesystem::path& from, const std::filesystem::path& to) override;
  IoResult rename_no_replace(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
  IoResult copy_file(const std::filesystem::path& from, const std::filesystem::path& to) override;
  IoResult sync_file(const std::filesystem::path& path) override;
  IoResult remove_file(const std::filesystem::path& path) override;
  IoResult make_directory(const std::filesystem::path& path) override;
  std::chrono::system_clock::time_point now() override;
  std::chrono::steady_clock::time_point steady_now() override;
  void sleep_for(std::chrono::milliseconds duration) override;
  std::filesystem::path current_directory() override;

 private:
  // Reads the whole file the open descriptor `fd` holds, expected to be
  // `expected_size` bytes long, and says which file it was.
  static IoResult read_descriptor(int fd, std::uintmax_t expected_size, std::string& contents,
                                  FileNode& identity);
};

}  // namespace qx::os
