// orbelune.exe as Windows will load it: a 32-bit x86 GUI program with a
// 2 MB stack (4 KB committed) and its application manifest as resource
// type 24, id 1, English (United States).
#include <gtest/gtest.h>

#include <cstdint>
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

TEST(WindowsExecutable, IsA32BitX86GuiProgramWithA2MbStack) {
  const Image image = Load();
  ASSERT_GT(image.bytes.size(), 4096u)
      << ORBELUNE_WINDOWS_EXE << " is missing: build the windows preset first";
  ASSERT_EQ(image.U16(0), 0x5A4Du);               // "MZ"
  ASSERT_EQ(image.U32(image.pe), 0x00004550u);    // "PE\0\0"
  EXPECT_EQ(image.U16(image.pe + 4), 0x14Cu);     // i386
  EXPECT_EQ(image.U16(image.optional), 0x10Bu);   // PE32
  EXPECT_EQ(image.U16(image.optional + 68), 2u);  // Windows GUI
  EXPECT_EQ(image.U32(image.optional + 72), 2097152u);
  EXPECT_EQ(image.U32(image.optional + 76), 4096u);
}

TEST(WindowsExecutable, CarriesTheApplicationManifest) {
  const Image image = Load();
  ASSERT_GT(image.bytes.size(), 4096u)
      << ORBELUNE_WINDOWS_EXE << " is missing: build the windows preset first";
  const uint32_t resources = image.U32(image.optional + 96 + 2 * 8);
  ASSERT_NE(resources, 0u) << "no resource directory";
  const uint32_t base = image.Offset(resources);

  uint32_t types = 0, names = 0, data = 0;
  bool directory = false;
  ASSERT_TRUE(FindEntry(image, base, 0, 24, types, directory)) << "no RT_MANIFEST";
  ASSERT_TRUE(directory);
  ASSERT_TRUE(FindEntry(image, base, types, 1, names, directory)) << "no manifest id 1";
  ASSERT_TRUE(directory);
  ASSERT_TRUE(FindEntry(image, base, names, 1033, data, directory)) << "not in language 1033";
  ASSERT_FALSE(directory);

  const uint32_t at = image.Offset(image.U32(base + data));
  const uint32_t size = image.U32(base + data + 4);
  ASSERT_LE(at + size, image.bytes.size());
  const std::string xml(image.bytes.begin() + at, image.bytes.begin() + at + size);
  for (const char* expected : {
           "<?xml version=\"1.0\" encoding=\"UTF-8\"",
           "xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"",
           "<assemblyIdentity type=\"win32\" name=\"Orbelune.Orbelune\" version=\"1.0.0.0\" "
           "processorArchitecture=\"x86\"/>",
           "<description>",
           "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
           "version=\"6.0.0.0\" processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" "
           "language=\"*\"/>",
       }) {
    EXPECT_NE(xml.find(expected), std::string::npos) << "missing: " << expected;
  }
}

}  // namespace
