#include "tools/PngFile.h"

#include <fcntl.h>
#include <limits.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>

namespace {

// Where libpng's callbacks report; write errors keep the system's words.
struct PngState {
  FILE* file;
  std::string* error;
};

void OnPngError(png_structp png, png_const_charp message) {
  PngState* state = static_cast<PngState*>(png_get_error_ptr(png));
  if (state->error->empty()) *state->error = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void WriteData(png_structp png, png_bytep data, size_t length) {
  PngState* state = static_cast<PngState*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, state->file) != length) {
    *state->error = std::strerror(errno);
    png_error(png, "write failed");
  }
}

void FlushData(png_structp png) {
  PngState* state = static_cast<PngState*>(png_get_io_ptr(png));
  if (std::fflush(state->file) != 0) {
    *state->error = std::strerror(errno);
    png_error(png, "write failed");
  }
}

std::string Directory(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Base(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

// The temporary file being written, for the signal handler.
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

void CatchSignals(const std::string& temporary) {
  std::snprintf(temporaryPath, sizeof temporaryPath, "%s", temporary.c_str());
  struct sigaction action = {};
  action.sa_handler = RemoveTemporaryAndDie;
  sigemptyset(&action.sa_mask);
  for (int signal : kCaughtSignals) sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < 3; ++i) sigaction(kCaughtSignals[i], &action, &previousActions[i]);
}

void ReleaseSignals() {
  // Blocked while the name is cleared, so that a late signal finds either
  // a file to remove or none.
  sigset_t all, old;
  sigemptyset(&all);
  for (int signal : kCaughtSignals) sigaddset(&all, signal);
  sigprocmask(SIG_BLOCK, &all, &old);
  temporaryPath[0] = '\0';
  for (int i = 0; i < 3; ++i) sigaction(kCaughtSignals[i], &previousActions[i], nullptr);
  sigprocmask(SIG_SETMASK, &old, nullptr);
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
  return fd;
}

// Writes, syncs and closes; false with error set where any step fails.
bool WriteAndClose(FILE* file, const uint32_t* pixels, int width, int height, const PngText& text,
                   bool sync, std::string& error) {
  bool ok = WritePngStream(file, pixels, width, height, text, error);
  if (ok && sync && fsync(fileno(file)) != 0 && errno != EINVAL) {
    error = std::strerror(errno);
    ok = false;
  }
  if (std::fclose(file) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace

bool WritePngStream(FILE* file, const uint32_t* pixels, int width, int height, const PngText& text,
                    std::string& error) {
  error.clear();
  PngState state = {file, &error};
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (png == nullptr) {
    error = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  std::vector<png_byte> row((size_t)width * 3);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    if (error.empty()) error = "out of memory";
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &state, WriteData, FlushData);
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_text chunks[2];
  int count = 0;
  const std::pair<const char*, const std::string*> texts[2] = {{"Software", &text.software},
                                                               {"Comment", &text.comment}};
  for (const auto& [key, value] : texts) {
    if (value->empty()) continue;
    chunks[count] = {};
    chunks[count].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[count].key = const_cast<char*>(key);
    chunks[count].text = const_cast<char*>(value->c_str());
    ++count;
  }
  if (count > 0) png_set_text(png, info, chunks, count);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[(size_t)y * width + x];
      row[(size_t)x * 3 + 0] = (png_byte)(p >> 16);
      row[(size_t)x * 3 + 1] = (png_byte)(p >> 8);
      row[(size_t)x * 3 + 2] = (png_byte)p;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool CheckWritable(const std::string& path, std::string& error) {
  std::string target;
  if (!Resolve(path, target, error)) return false;
  struct stat status;
  switch (KindAt(target, status)) {
    case Kind::kDirectory: error = "it is a directory"; return false;
    case Kind::kOther:
      // Opening a FIFO would wait for a reader: its permission must do.
      if (access(target.c_str(), W_OK) != 0) {
        error = std::strerror(errno);
        return false;
      }
      return true;
    case Kind::kRegular:
    case Kind::kNone: break;
  }
  std::string temporary;
  const int fd = CreateTemporary(target, temporary, error);
  if (fd < 0) return false;
  close(fd);
  unlink(temporary.c_str());
  return true;
}

bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  const PngText& text, std::string& error) {
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
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (file == nullptr) {
      error = std::strerror(errno);
      if (fd >= 0) close(fd);
      return false;
    }
    return WriteAndClose(file, pixels, width, height, text, false, error);
  }

  std::string temporary;
  const int fd = CreateTemporary(target, temporary, error);
  if (fd < 0) return false;
  CatchSignals(temporary);
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
  FILE* file = fdopen(fd, "wb");
  bool ok = file != nullptr;
  if (!ok) {
    error = std::strerror(errno);
    close(fd);
  } else {
    ok = WriteAndClose(file, pixels, width, height, text, true, error);
  }
  if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
    error = std::strerror(errno);
    ok = false;
  }
  if (!ok) unlink(temporary.c_str());
  ReleaseSignals();
  return ok;
}

bool ReadPngFile(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height,
                 std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  png_byte signature[8] = {};
  if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    error = "not a PNG file";
    std::fclose(file);
    return false;
  }
  std::rewind(file);
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  bool ok = png_image_begin_read_from_stdio(&image, file) != 0;
  std::vector<png_byte> rgb;
  if (ok) {
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    ok = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
  }
  std::fclose(file);
  if (!ok) {
    error = std::string("a damaged PNG file: ") + image.message;
    png_image_free(&image);
    return false;
  }
  width = (int)image.width, height = (int)image.height;
  pixels.resize((size_t)width * height);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = (uint32_t)rgb[i * 3] << 16 | (uint32_t)rgb[i * 3 + 1] << 8 | rgb[i * 3 + 2];
  return true;
}
