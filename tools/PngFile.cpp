#include "tools/PngFile.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

static void OnPngError(png_structp png, png_const_charp message) {
  std::string* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  png_longjmp(png, 1);
}

static void OnPngWarning(png_structp, png_const_charp) {}

// Encodes into an open file; false with error set where libpng or the
// stream fails.
static bool EncodePng(FILE* file, const uint32_t* pixels, int width, int height,
                      std::string& error) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
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
  png_init_io(png, file);
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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

// Creates an empty temporary file beside path; -1 with error set on failure.
static int CreateTemporary(const std::string& path, std::string& temporary, std::string& error) {
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
    error = "it is a directory";
    return -1;
  }
  temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) error = std::strerror(errno);
  return fd;
}

bool CheckWritable(const std::string& path, std::string& error) {
  std::string temporary;
  const int fd = CreateTemporary(path, temporary, error);
  if (fd < 0) return false;
  close(fd);
  unlink(temporary.c_str());
  return true;
}

bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height,
                  std::string& error) {
  std::string temporary;
  const int fd = CreateTemporary(path, temporary, error);
  if (fd < 0) return false;
  // mkstemp creates the file private; give it the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);

  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    close(fd);
    unlink(temporary.c_str());
    return false;
  }
  bool ok = EncodePng(file, pixels, width, height, error);
  if (ok && fsync(fileno(file)) != 0) {
    error = std::strerror(errno);
    ok = false;
  }
  if (std::fclose(file) != 0 && ok) {
    error = std::strerror(errno);
    ok = false;
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ok = false;
  }
  if (!ok) unlink(temporary.c_str());
  return ok;
}
