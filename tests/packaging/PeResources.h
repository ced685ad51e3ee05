// Reads resources back from a built Windows program (PE32 or PE32+), without any Windows API:
// enough to check the version resource and the application manifest that USERLENS.EXE carries.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One leaf of the resource tree: type, name and language are numeric identifiers (named entries
// are not used by this program and are reported with id 0xFFFFFFFF).
struct Resource {
  uint32_t type = 0;
  uint32_t name = 0;
  uint32_t language = 0;
  std::string data;
};

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kRtManifest = 24;

// Every resource of the image, in the order of the resource directory. Throws FormatError when
// the bytes are not a PE image or its resource tree points outside the file.
std::vector<Resource> ReadResources(const std::string& image);

struct VersionInfo {
  uint32_t signature = 0;
  std::array<uint16_t, 4> fileVersion{};     // major, minor, build, revision
  std::array<uint16_t, 4> productVersion{};  // the same
  uint32_t fileOs = 0;
  uint32_t fileType = 0;
  // StringFileInfo: the block key (language and code page, "040904B0") -> value name -> text.
  std::map<std::string, std::map<std::string, std::string>> strings;
  // VarFileInfo\Translation: pairs of language and code page.
  std::vector<std::pair<uint16_t, uint16_t>> translations;
};

// Parses a VS_VERSIONINFO block (the data of an RT_VERSION resource). Texts come back in UTF-8.
VersionInfo ParseVersionInfo(const std::string& data);

}  // namespace pe
