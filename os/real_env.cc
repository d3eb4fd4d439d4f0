#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

#include "os/env.h"

namespace qx::os {
namespace fs = std::filesystem;

namespace {

IoResult from_errno() {
  return IoResult::failure(std::error_code(errno, std::generic_category()));
}

class FileTypeCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "file type"; }
  std::string message(int) const override { return "not a regular file"; }
};

const std::error_category& file_type_category() {
  static const FileTypeCategory category;
  return category;
}

IoResult not_regular() {
  return IoResult::failure(std::error_code(1, file_type_category()));
}

// Opens a regular file for reading, and only one: the entry is looked at
// first, so that a device is never opened (opening some has effects of its
// own), and the open neither follows a link nor waits for a FIFO's writer;
// the opened descriptor is checked again, as the name may have changed
// between the look and the open.
int open_regular(const fs::path& path, struct stat& st, IoResult& failure) {
  if (::lstat(path.c_str(), &st) != 0) {
    failure = from_errno();
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    failure = not_regular();
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    failure = errno == ELOOP ? not_regular() : from_errno();
    return -1;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    failure = !S_ISREG(st.st_mode) ? not_regular() : from_errno();
    ::close(fd);
    return -1;
  }
  return fd;
}

// Closes the descriptor when the scope ends, whichever way it ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool open() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The lock lives on the open file description, so it lasts exactly as long
// as this descriptor.
class DescriptorLock : public FileLock {
 public:
  explicit DescriptorLock(int fd) : fd_(fd) {}
  int descriptor() const { return fd_.get(); }

 private:
  Descriptor fd_;
};

FileNode identity_of(const struct stat& st) {
  FileNode identity;
  identity.device = static_cast<std::uint64_t>(st.st_dev);
  identity.inode = static_cast<std::uint64_t>(st.st_ino);
  identity.size = static_cast<std::uintmax_t>(st.st_size);
  auto since_epoch =
      std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
  identity.modified = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(since_epoch));
  return identity;
}

}  // namespace

const char* describe(EntryType type) {
  switch (type) {
    case EntryType::regular:
      return "a regular file";
    case EntryType::symbolic_link:
      return "a symbolic link";
    case EntryType::directory:
      return "a directory";
    case EntryType::fifo:
      return "a FIFO";
    case EntryType::socket:
      return "a socket";
    case EntryType::device:
      return "a device";
    case EntryType::other:
      break;
  }
  return "not a regular file";
}

bool not_a_regular_file(const IoResult& result) {
  return result.error().category() == file_type_category();
}

IoResult not_a_regular_file_failure() {
  return not_regular();
}

IoResult RealEnv::list_directory(const fs::path& dir, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  std::error_code error;
  fs::directory_iterator it(dir, error);
  if (error) return IoResult::failure(error);
  for (const auto& item : it) {
    DirectoryEntry entry;
    entry.name = item.path().filename().string();
    // One lstat tells the type, size and modification time together; a
    // symbolic link is told as one, never followed.
    struct stat st {};
    // A file that vanished between the listing and the look at it is simply
    // not there any more.
    if (::lstat(item.path().c_str(), &st) != 0) continue;
    entry.type = S_ISREG(st.st_mode)                          ? EntryType::regular
                 : S_ISLNK(st.st_mode)                        ? EntryType::symbolic_link
                 : S_ISDIR(st.st_mode)                        ? EntryType::directory
                 : S_ISFIFO(st.st_mode)                       ? EntryType::fifo
                 : S_ISSOCK(st.st_mode)                       ? EntryType::socket
                 : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? EntryType::device
                                                              : EntryType::other;
    if (entry.type == EntryType::regular) {
      const FileNode node = identity_of(st);
      entry.size = node.size;
      entry.modified = node.modified;
    }
    entries.push_back(std::move(entry));
  }
  return IoResult::success();
}

IoResult RealEnv::read_file(const fs::path& path, std::string& contents, FileNode& identity) {
  contents.clear();
  struct stat st {};
  IoResult failure = IoResult::success();
  Descriptor fd(open_regular(path, st, failure));
  if (!fd.open()) return failure;
  return read_descriptor(fd.get(), static_cast<std::uintmax_t>(st.st_size), contents, identity);
}

IoResult RealEnv::read_locked(const FileLock& lock, const fs::path& path, std::string& contents,
                              FileNode& identity) {
  const auto* held = dynamic_cast<const DescriptorLock*>(&lock);
  if (held == nullptr) return read_file(path, contents, identity);
  contents.clear();
  return read_descriptor(held->descriptor(), lock.node.size, contents, identity);
}

IoResult RealEnv::read_descriptor(int fd, std::uintmax_t expected_size, std::string& contents,
                                  FileNode& identity) {
  // Read from the first byte, whatever read the descriptor before, into a
  // buffer a byte longer than the file is expected to be: a read that comes
  // back short has met the end, and the size the descriptor tells after it
  // confirms that, so a file that kept still takes one read.
  contents.resize(static_cast<std::size_t>(expected_size) + 1);
  std::size_t filled = 0;
  struct stat st {};
  for (;;) {
    if (filled == contents.size()) contents.resize(2 * contents.size());
    const ssize_t got =
        ::pread(fd, contents.data() + filled, contents.size() - filled, static_cast<off_t>(filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      IoResult failed = from_errno();
      contents.clear();
      return failed;
    }
    filled += static_cast<std::size_t>(got);
    if (got > 0 && filled == contents.size()) continue;
    if (::fstat(fd, &st) != 0) {
      IoResult failed = from_errno();
      contents.clear();
      return failed;
    }
    // Shorter than the file says it is now: it grew, or the read was cut
    // short; read on to its end.
    if (got > 0 && static_cast<std::uintmax_t>(st.st_size) > filled) continue;
    break;
  }
  contents.resize(filled);
  identity = identity_of(st);
  return IoResult::success();
}

IoResult RealEnv::stat_file(const fs::path& path, FileNode& identity) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return from_errno();
  identity = identity_of(st);
  return IoResult::success();
}

IoResult RealEnv::stat_entry(const fs::path& path, FileNode& identity) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return from_errno();
  identity = identity_of(st);
  return IoResult::success();
}

IoResult RealEnv::lock_file(const fs::path& path, std::unique_ptr<FileLock>& lock) {
  struct stat st {};
  IoResult failure = IoResult::success();
  int fd = open_regular(path, st, failure);
  if (fd < 0) return failure;
  auto held = std::make_unique<DescriptorLock>(fd);
  held->node = identity_of(st);
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return from_errno();
  lock = std::move(held);
  return IoResult::success();
}

IoResult RealEnv::write_file(const fs::path& path, std::string_view contents) {
  Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.open()) return from_errno();
  while (!contents.empty()) {
    ssize_t put = ::write(fd.get(), contents.data(), contents.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return from_errno();
    contents.remove_prefix(static_cast<std::size_t>(put));
  }
  return IoResult::success();
}

IoResult RealEnv::rename_file(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  return error ? IoResult::failure(error) : IoResult::success();
}

IoResult RealEnv::rename_no_replace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return IoResult::success();
  }
  if (errno != EINVAL && errno != ENOSYS) return from_errno();
  // A file system without the flag: a second link fails on a taken name
  // just the same, and the first is dropped after.
  if (::link(from.c_str(), to.c_str()) != 0) return from_errno();
  if (::unlink(from.c_str()) != 0) {
    IoResult failed = from_errno();
    ::unlink(to.c_str());
    return failed;
  }
  return IoResult::success();
}

IoResult RealEnv::copy_file(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  return error ? IoResult::failure(error) : IoResult::success();
}

IoResult RealEnv::sync_file(const fs::path& path) {
  // Read-only is enough for fsync, and the only way to open a directory.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.open()) return from_errno();
  return ::fsync(fd.get()) == 0 ? IoResult::success() : from_errno();
}

IoResult RealEnv::remove_file(const fs::path& path) {
  std::error_code error;
  if (!fs::remove(path, error) && !error) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
  }
  return error ? IoResult::failure(error) : IoResult::success();
}

IoResult RealEnv::make_directory(const fs::path& path) {
  std::error_code error;
  fs::create_directories(path, error);
  return error ? IoResult::failure(error, "cannot create the directory") : IoResult::success();
}

std::chrono::system_clock::time_point RealEnv::now() {
  return std::chrono::system_clock::now();
}

std::chrono::steady_clock::time_point RealEnv::steady_now() {
  return std::chrono::steady_clock::now();
}

std::filesystem::path RealEnv::current_directory() {
  std::error_code error;
  std::filesystem::path here = std::filesystem::current_path(error);
  return error ? std::filesystem::path("/") : here;
}

void RealEnv::sleep_for(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace qx::os
