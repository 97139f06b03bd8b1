// orbelune.exe as Windows will load it: a GUI program for the processor it
// was built for (ORBELUNE_PE_MACHINE, PE32 or PE32+ as ORBELUNE_PE_MAGIC
// says) with a 2 MB stack (4 KB committed), and its application manifest,
// naming the same processor, as resource type 24, id 1, English (United
// States).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadExecutable() {
  std::ifstream in(ORBELUNE_WINDOWS_EXE, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Image {
  std::vector<uint8_t> bytes;
  uint32_t pe = 0;        // offset of "PE\0\0"
  uint32_t optional = 0;  // offset of the optional header

  bool Plus() const { return U16(optional) == 0x20B; }
  // PE32+ widens the image base and the four stack and heap sizes to 64
  // bits, which moves the data directories 16 bytes on.
  uint32_t Directories() const { return optional + (Plus() ? 112 : 96); }
  uint64_t U64(uint32_t at) const { return U32(at) | (uint64_t)U32(at + 4) << 32; }

  uint32_t U16(uint32_t at) const {
    if (at + 2 > bytes.size()) throw std::out_of_range("read past the end of the file");
    return bytes[at] | bytes[at + 1] << 8;
  }
  uint32_t U32(uint32_t at) const { return U16(at) | U16(at + 2) << 16; }

  // The file offset of a relative virtual address, through the section table.
  uint32_t Offset(uint32_t rva) const {
    const uint32_t sections = optional + U16(pe + 20);
    for (uint32_t i = 0; i < U16(pe + 6); ++i) {
      const uint32_t s = sections + i * 40;
      const uint32_t address = U32(s + 12), size = std::max(U32(s + 8), U32(s + 16));
      if (rva >= address && rva < address + size) return rva - address + U32(s + 20);
    }
    throw std::out_of_range("address outside every section");
  }
};

Image Load() {
  Image image;
  image.bytes = ReadExecutable();
  if (image.bytes.size() < 0x40) return image;
  image.pe = image.U32(0x3C);
  image.optional = image.pe + 24;
  return image;
}

// The entry of a resource directory with the given id: its offset from the
// start of the resource section, with the subdirectory bit cleared.
bool FindEntry(const Image& image, uint32_t base, uint32_t directory, uint32_t id, uint32_t& found,
               bool& isDirectory) {
  const uint32_t named = image.U16(base + directory + 12), ids = image.U16(base + directory + 14);
  for (uint32_t i = named; i < named + ids; ++i) {
    const uint32_t entry = base + directory + 16 + i * 8;
    if (image.U32(entry) == id) {
      const uint32_t target = image.U32(entry + 4);
      isDirectory = (target & 0x80000000u) != 0;
      found = target & 0x7FFFFFFFu;
      return true;
    }
  }
  return false;
}

TEST(WindowsExecutable, IsAGuiProgramForItsProcessorWithA2MbStack) {
  const Image image = Load();
  ASSERT_GT(image.bytes.size(), 4096u)
      << ORBELUNE_WINDOWS_EXE << " is missing: build its preset first";
  ASSERT_EQ(image.U16(0), 0x5A4Du);                           // "MZ"
  ASSERT_EQ(image.U32(image.pe), 0x00004550u);                // "PE\0\0"
  EXPECT_EQ(image.U16(image.pe + 4), ORBELUNE_PE_MACHINE);    // i386 or AMD64
  ASSERT_EQ(image.U16(image.optional), ORBELUNE_PE_MAGIC);    // PE32 or PE32+
  EXPECT_EQ(image.U16(image.optional + 68), 2u);              // Windows GUI
  if (image.Plus()) {
    EXPECT_EQ(image.U64(image.optional + 72), 2097152u);
    EXPECT_EQ(image.U64(image.optional + 80), 4096u);
  } else {
    EXPECT_EQ(image.U32(image.optional + 72), 2097152u);
    EXPECT_EQ(image.U32(image.optional + 76), 4096u);
  }
}

// The bytes of resource (type, id) in language 1033, or an empty string.
std::string ResourceData(const Image& image, uint32_t type, uint32_t id) {
  const uint32_t resources = image.U32(image.Directories() + 2 * 8);
  if (resources == 0) return "";
  const uint32_t base = image.Offset(resources);
  uint32_t types = 0, names = 0, data = 0;
  bool directory = false;
  if (!FindEntry(image, base, 0, type, types, directory) || !directory) return "";
  if (!FindEntry(image, base, types, id, names, directory) || !directory) return "";
  if (!FindEntry(image, base, names, 1033, data, directory) || directory) return "";
  const uint32_t at = image.Offset(image.U32(base + data));
  const uint32_t size = image.U32(base + data + 4);
  if (at + size > image.bytes.size()) return "";
  return std::string(image.bytes.begin() + at, image.bytes.begin() + at + size);
}

TEST(WindowsExecutable, CarriesTheApplicationManifest) {
  const Image image = Load();
  ASSERT_GT(image.bytes.size(), 4096u)
      << ORBELUNE_WINDOWS_EXE << " is missing: build its preset first";
  const std::string xml = ResourceData(image, 24, 1);
  ASSERT_FALSE(xml.empty()) << "no RT_MANIFEST 1 in language 1033";
  for (const char* expected : {
           "<?xml version=\"1.0\" encoding=\"UTF-8\"",
           "xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"",
           "<assemblyIdentity type=\"win32\" name=\"Orbelune.Orbelune\" version=\"1.0.0.0\" "
           "processorArchitecture=\"" ORBELUNE_MANIFEST_ARCHITECTURE "\"/>",
           "<description>",
           "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
           "version=\"6.0.0.0\" processorArchitecture=\"" ORBELUNE_MANIFEST_ARCHITECTURE
           "\" publicKeyToken=\"6595b64144ccf1df\" "
           "language=\"*\"/>",
       }) {
    EXPECT_NE(xml.find(expected), std::string::npos) << "missing: " << expected;
  }
}

// The version resource: its fixed part (VS_FIXEDFILEINFO) says version
// ORBELUNE_VERSION, and so does its FileVersion string (UTF-16).
TEST(WindowsExecutable, CarriesTheProjectVersion) {
  const Image image = Load();
  const std::string info = ResourceData(image, 16, 1);
  ASSERT_FALSE(info.empty()) << "no RT_VERSION 1 in language 1033";
  const std::string signature = "\xBD\x04\xEF\xFE";
  const size_t fixed = info.find(signature);
  ASSERT_NE(fixed, std::string::npos) << "no VS_FIXEDFILEINFO";
  uint32_t fileVersionMs;
  std::memcpy(&fileVersionMs, info.data() + fixed + 8, 4);
  int major = 0, minor = 0;
  ASSERT_EQ(std::sscanf(ORBELUNE_VERSION, "%d.%d", &major, &minor), 2);
  EXPECT_EQ(fileVersionMs, (uint32_t)(major << 16 | minor));
  std::string wide;
  for (const char* c = "FileVersion"; *c; ++c) wide += *c, wide += '\0';
  EXPECT_NE(info.find(wide), std::string::npos);
  std::string version;
  for (const char* c = ORBELUNE_VERSION; *c; ++c) version += *c, version += '\0';
  EXPECT_NE(info.find(version), std::string::npos);
}

}  // namespace
