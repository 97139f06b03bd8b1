#include "files/SafeOutput.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include "files/DescriptorPath.h"
#include "files/FifoWait.h"
#include "files/PathParts.h"

namespace {

// The path a chain of symbolic links leads to (the path itself if it is no
// link); false with error set for a loop or an unreadable link.
bool Resolve(const std::string& path, std::string& target, std::string& error) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status;
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink(target.c_str(), buffer.data(), PATH_MAX);
    if (length < 0) {
      error = std::strerror(errno);
      return false;
    }
    const std::string link(buffer.data(), (size_t)length);
    target = link[0] == '/' ? link : Directory(target) + "/" + link;
  }
  error = std::strerror(ELOOP);
  return false;
}

// What stands at a path now: nothing, a regular file, a directory, or
// something written in place.
enum class Kind { kNone, kRegular, kDirectory, kOther };

Kind KindAt(const std::string& path, struct stat& status) {
  if (stat(path.c_str(), &status) != 0) return Kind::kNone;
  if (S_ISREG(status.st_mode)) return Kind::kRegular;
  if (S_ISDIR(status.st_mode)) return Kind::kDirectory;
  return Kind::kOther;
}

// Whether an existing file may be replaced: only by a writer that may
// write it. The rename beside it needs only the directory's permission, so
// without this a read-only file (or another user's) would be replaced.
bool MayReplace(const std::string& target, std::string& error) {
  if (access(target.c_str(), W_OK) == 0) return true;
  error = std::strerror(errno);
  return false;
}

// Whether the rename that ends the write could replace the existing file
// target (status its own): not in a sticky folder the file and the folder
// are another's, nor over an immutable or append-only file.
bool MayRenameOver(const std::string& target, const struct stat& status, std::string& error) {
  struct stat folder;
  const uid_t user = geteuid();
  if (stat(Directory(target).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
      user != 0 && user != status.st_uid && user != folder.st_uid) {
    error = std::strerror(EPERM) + std::string(" (another's file in a sticky folder)");
    return false;
  }
  int flags = 0;
  const int fd = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  const bool asked = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  if (asked && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0) {
    error = std::strerror(EPERM) + std::string(" (the file is immutable or append-only)");
    return false;
  }
  return true;
}

// A temporary file beside target, its name within the directory's limit
// however long target's is; -1 with error set on failure.
int CreateTemporary(const std::string& target, std::string& temporary, std::string& error) {
  const std::string directory = Directory(target);
  long most = pathconf(directory.c_str(), _PC_NAME_MAX);
  if (most <= 0) most = 255;
  std::string base = Base(target);
  const size_t room = (size_t)most - std::strlen(".") - std::strlen(".XXXXXX");
  if (base.size() > room) base.resize(room);
  temporary = directory + "/." + base + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) error = std::strerror(errno);
  // A folder that is there but makes no files (/proc, /sys) gives ENOENT,
  // which alone would say the folder is missing.
  struct stat folder;
  if (fd < 0 && errno == ENOENT && stat(directory.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
    error = "its folder " + directory + " takes no new files";
  return fd;
}

// The temporary file, for the signal handler.
char temporaryPath[PATH_MAX + 1];
struct sigaction previousActions[3];
constexpr int kCaughtSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void RemoveTemporaryAndDie(int signal) {
  if (temporaryPath[0] != '\0') unlink(temporaryPath);
  // Then as the signal would have: with the action it had before.
  for (int i = 0; i < 3; ++i) {
    if (kCaughtSignals[i] == signal) sigaction(signal, &previousActions[i], nullptr);
  }
  raise(signal);
}

sigset_t CaughtSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kCaughtSignals) sigaddset(&set, signal);
  return set;
}

// The temporary file from its creation to its rename. Whatever way the
// write ends short of the rename (a failure, an exception, a signal) the
// file is removed; the signal handlers are restored in every case.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates it beside target, with the handlers in place before the file
  // exists (signals held meanwhile, so none finds a file without a name).
  int Create(const std::string& target, std::string& error) {
    const sigset_t caught = CaughtSet();
    sigset_t old;
    sigprocmask(SIG_BLOCK, &caught, &old);
    const int fd = CreateTemporary(target, path_, error);
    if (fd >= 0) {
      std::snprintf(temporaryPath, sizeof temporaryPath, "%s", path_.c_str());
      struct sigaction action = {};
      action.sa_handler = RemoveTemporaryAndDie;
      action.sa_mask = caught;
      // A signal the caller ignores (nohup, trap '' INT, a script's
      // background job) stays ignored, as it would without the file.
      for (int i = 0; i < 3; ++i) {
        struct sigaction& previous = previousActions[i];
        sigaction(kCaughtSignals[i], nullptr, &previous);
        if ((previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_IGN)
          sigaction(kCaughtSignals[i], &action, nullptr);
      }
      owned_ = true;
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return fd;
  }

  bool RenameTo(const std::string& target, std::string& error) {
    if (std::rename(path_.c_str(), target.c_str()) != 0) {
      error = std::strerror(errno);
      return false;
    }
    renamed_ = true;
    return true;
  }

  ~TemporaryFile() {
    if (!owned_) return;
    // Held while the name is cleared, so that a late signal finds either a
    // file to remove or none.
    const sigset_t caught = CaughtSet();
    sigset_t old;
    sigprocmask(SIG_BLOCK, &caught, &old);
    if (!renamed_) unlink(path_.c_str());
    temporaryPath[0] = '\0';
    for (int i = 0; i < 3; ++i) sigaction(kCaughtSignals[i], &previousActions[i], nullptr);
    sigprocmask(SIG_SETMASK, &old, nullptr);
  }

 private:
  std::string path_;
  bool owned_ = false, renamed_ = false;
};

// While it lives, a file-size limit (ulimit -f) makes a write fail with
// EFBIG, said and cleaned up like a full disk, instead of SIGXFSZ ending
// the process with the temporary file left.
class FileSizeLimitAsError {
 public:
  FileSizeLimitAsError() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous_);
  }
  ~FileSizeLimitAsError() { sigaction(SIGXFSZ, &previous_, nullptr); }
  FileSizeLimitAsError(const FileSizeLimitAsError&) = delete;
  FileSizeLimitAsError& operator=(const FileSizeLimitAsError&) = delete;

 private:
  struct sigaction previous_;
};

struct CloseFile {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, CloseFile>;

// A stream on fd, which it then owns; empty with error set on failure (fd
// closed).
File StreamOn(int fd, std::string& error) {
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    close(fd);
  }
  return File(file);
}

// Writes, syncs and closes; false with error set where any step fails.
bool WriteAndClose(File file, const StreamWriter& write, bool sync, std::string& error) {
  bool ok = write(file.get(), error);
  if (ok && (std::fflush(file.get()) != 0 || std::ferror(file.get()))) {
    error = std::strerror(errno);
    ok = false;
  }
  if (ok && sync && fsync(fileno(file.get())) != 0 && errno != EINVAL) {
    error = std::strerror(errno);
    ok = false;
  }
  if (std::fclose(file.release()) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  return ok;
}

// The descriptor's access, as a write would find it.
bool DescriptorWritable(int fd, std::string& error) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) {
    error = std::strerror(errno);
    return false;
  }
  if ((flags & O_ACCMODE) == O_RDONLY) {
    error = "it is open for reading only";
    return false;
  }
  return true;
}

}  // namespace

int OutputDescriptor(const std::string& path) {
  if (path == "-") return STDOUT_FILENO;
  int fd = -1;
  return DescriptorNamed(path, fd) ? fd : -1;
}

bool WritesInto(const std::string& path, int fd) {
  struct stat open, there;
  if (fstat(fd, &open) != 0) return false;
  const int descriptor = OutputDescriptor(path);
  if (descriptor >= 0) {
    if (fstat(descriptor, &there) != 0) return false;
  } else {
    std::string target, error;
    if (!Resolve(path, target, error) || KindAt(target, there) != Kind::kOther) return false;
  }
  if (there.st_dev != open.st_dev || there.st_ino != open.st_ino) return false;
  return !S_ISCHR(open.st_mode) || isatty(fd);
}

bool OutputIsTerminal(const std::string& path) {
  const int descriptor = OutputDescriptor(path);
  if (descriptor >= 0) return isatty(descriptor) != 0;
  std::string target, error;
  struct stat status;
  if (!Resolve(path, target, error) || KindAt(target, status) != Kind::kOther ||
      !S_ISCHR(status.st_mode))
    return false;
  // Opened without becoming the controlling terminal and without waiting.
  const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool terminal = isatty(fd) != 0;
  close(fd);
  return terminal;
}

bool CheckWritable(const std::string& path, std::string& error) {
  const int descriptor = OutputDescriptor(path);
  if (descriptor >= 0) return DescriptorWritable(descriptor, error);
  std::string target;
  if (!Resolve(path, target, error)) return false;
  struct stat status;
  switch (KindAt(target, status)) {
    case Kind::kDirectory: error = "it is a directory"; return false;
    case Kind::kOther: {
      // Opening a FIFO would wait for a reader: its permission must do. A
      // device is opened, as the write will open it (/dev/tty without a
      // terminal cannot be).
      const bool fifo = S_ISFIFO(status.st_mode);
      const int fd = fifo ? -1 : open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
      if (fd >= 0) close(fd);
      if (fifo ? access(target.c_str(), W_OK) == 0 : fd >= 0) return true;
      error = std::strerror(errno);
      return false;
    }
    case Kind::kRegular:
      if (!MayReplace(target, error) || !MayRenameOver(target, status, error)) return false;
      break;
    case Kind::kNone:
      // A name too long, a folder missing or closed: what the rename
      // would meet, found now (the temporary name is cut to fit).
      if (lstat(target.c_str(), &status) != 0 && errno != ENOENT) {
        error = std::strerror(errno);
        return false;
      }
      break;
  }
  std::string temporary;
  const int fd = CreateTemporary(target, temporary, error);
  if (fd < 0) return false;
  close(fd);
  unlink(temporary.c_str());
  return true;
}

bool WriteSafely(const std::string& path, const StreamWriter& write, std::string& error,
                 const std::function<void()>& waiting) {
  error.clear();
  const FileSizeLimitAsError limit;
  const int descriptor = OutputDescriptor(path);
  if (descriptor >= 0) {
    // Its own copy of the descriptor, sharing the offset and the flags
    // (O_APPEND among them); the descriptor itself stays open.
    if (!DescriptorWritable(descriptor, error)) return false;
    const int fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) {
      error = std::strerror(errno);
      return false;
    }
    File file = StreamOn(fd, error);
    return file && WriteAndClose(std::move(file), write, false, error);
  }

  std::string target;
  if (!Resolve(path, target, error)) return false;
  struct stat status;
  const Kind kind = KindAt(target, status);
  if (kind == Kind::kDirectory) {
    error = "it is a directory";
    return false;
  }
  if (kind == Kind::kOther) {
    // A device or a FIFO: there is no file to replace, only a stream.
    const int fd = S_ISFIFO(status.st_mode)
                       ? OpenForReader(target, waiting, error)
                       : open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      if (error.empty()) error = std::strerror(errno);
      return false;
    }
    File file = StreamOn(fd, error);
    return file && WriteAndClose(std::move(file), write, false, error);
  }

  if (kind == Kind::kRegular && !MayReplace(target, error)) return false;
  TemporaryFile temporary;
  const int fd = temporary.Create(target, error);
  if (fd < 0) return false;
  if (kind == Kind::kRegular) {
    // The file it replaces keeps its permissions, and its owner where the
    // process may give it (otherwise it becomes the writer's, as any
    // rewrite would).
    // (Owner first: a change of owner clears the set-id bits; they are kept
    // only with the owner.)
    const bool owned = fchown(fd, status.st_uid, status.st_gid) == 0;
    fchmod(fd, status.st_mode & (owned ? 07777 : 0777));
  } else {
    // mkstemp creates the file private; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  File file = StreamOn(fd, error);
  return file && WriteAndClose(std::move(file), write, true, error) &&
         temporary.RenameTo(target, error);
}
