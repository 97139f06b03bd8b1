#include "png/PngCodec.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

namespace {

// Where libpng's callbacks report; read and write errors keep the system's
// words.
struct PngState {
  FILE* file;
  std::string* error;
  // Bytes already taken from the stream, handed to libpng first.
  const png_byte* prefix = nullptr;
  size_t prefixLength = 0;
};

void OnPngError(png_structp png, png_const_charp message) {
  PngState* state = static_cast<PngState*>(png_get_error_ptr(png));
  if (state->error->empty()) *state->error = std::string("a damaged PNG file: ") + message;
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

// Reads exactly length bytes, or says why not: a read error, or the end.
bool ReadExactly(FILE* file, png_bytep data, size_t length, std::string& error) {
  if (std::fread(data, 1, length, file) == length) return true;
  error = std::ferror(file) ? std::strerror(errno) : "a damaged PNG file: it ends too early";
  return false;
}

void ReadData(png_structp png, png_bytep data, size_t length) {
  PngState* state = static_cast<PngState*>(png_get_io_ptr(png));
  const size_t first = std::min(length, state->prefixLength);
  std::memcpy(data, state->prefix, first);
  state->prefix += first, state->prefixLength -= first;
  if (!ReadExactly(state->file, data + first, length - first, *state->error))
    png_error(png, "read failed");
}

uint32_t BigEndian(const png_byte* bytes) {
  return (uint32_t)bytes[0] << 24 | (uint32_t)bytes[1] << 16 | (uint32_t)bytes[2] << 8 | bytes[3];
}

// The decoding proper, between libpng's error exits: no object here has a
// destructor for a longjmp to skip; the pixels belong to the caller.
void Decode(png_structp png, png_infop info, uint32_t width, uint32_t height,
            std::vector<png_byte>& rgba, std::vector<png_bytep>& rows) {
  png_read_info(png, info);
  if (png_get_image_width(png, info) != width || png_get_image_height(png, info) != height)
    png_error(png, "its size changed");  // the header was checked before libpng saw it
  // Any colour type to 8-bit RGBA.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != (size_t)width * 4) png_error(png, "unexpected row size");
  rgba.resize((size_t)width * height * 4);
  rows.resize(height);
  for (uint32_t y = 0; y < height; ++y) rows[y] = &rgba[(size_t)y * width * 4];
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
}

// Decode, with libpng's errors caught here; false where one was raised.
bool DecodeCaught(png_structp png, png_infop info, uint32_t width, uint32_t height,
                  std::vector<png_byte>& rgba, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  Decode(png, info, width, height, rgba, rows);
  return true;
}

}  // namespace

bool WritePng(FILE* file, const uint32_t* pixels, int width, int height, const PngText& text,
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

bool ReadPng(FILE* file, uint32_t width, uint32_t height, PngImage& image, std::string& error) {
  error.clear();
  image = {};
  // The signature, then the header chunk whole (length, type, 13 bytes of
  // data, CRC): the size is known, and known to be the file's own, before
  // libpng allocates anything for the image.
  png_byte start[33];
  if (std::fread(start, 1, 8, file) != 8 || png_sig_cmp(start, 0, 8) != 0) {
    error = std::ferror(file) ? std::strerror(errno) : "not a PNG file";
    return false;
  }
  if (!ReadExactly(file, start + 8, 25, error)) return false;
  if (BigEndian(start + 8) == 13 && std::memcmp(start + 12, "IHDR", 4) == 0) {
    if (crc32(crc32(0, nullptr, 0), start + 12, 17) != BigEndian(start + 29)) {
      error = "a damaged PNG file: IHDR: CRC error";
      return false;
    }
    const uint32_t w = BigEndian(start + 16), h = BigEndian(start + 20);
    if (w == 0 || h == 0 || w > PNG_UINT_31_MAX || h > PNG_UINT_31_MAX) {
      error = "a damaged PNG file: IHDR: no image is " + std::to_string(w) + " x " +
              std::to_string(h) + " pixels";
      return false;
    }
    image.width = w, image.height = h;
    if (w != width || h != height) return true;
  }

  PngState state = {file, &error, start + 8, 25};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    error = "out of memory";
    return false;
  }
  png_set_read_fn(png, &state, ReadData);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, width, height);
  // Nothing but the pixels is wanted: every ancillary chunk (text,
  // profiles, unknown ones) is skipped a little at a time, never held, and
  // no chunk may ask for more than a little memory.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_chunk_cache_max(png, 16);
  png_set_chunk_malloc_max(png, 1 << 20);
  std::vector<png_byte> rgba;
  std::vector<png_bytep> rows;
  const bool ok = DecodeCaught(png, info, width, height, rgba, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) {
    if (error.empty()) error = "a damaged PNG file";
    return false;
  }
  image.pixels.resize((size_t)width * height);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const png_byte* p = &rgba[i * 4];
    image.pixels[i] =
        (uint32_t)p[3] << 24 | (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | (uint32_t)p[2];
  }
  return true;
}
