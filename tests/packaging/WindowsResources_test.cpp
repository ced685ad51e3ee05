// The version resource and the application manifest, read back from a built Windows program.
//   USERLENS_WINDOWS_PROGRAM  the USERLENS.exe to read
//   USERLENS_LINUX_PROGRAM    the Linux program, whose banner names the product and version
//   USERLENS_VERSION          the project's version, "major.minor"
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "PeResources.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// A line of the banner that the Linux program prints for "/?" (0: the first), without its CR LF.
std::string BannerLine(int index) {
  std::string command = "'" + Environment("USERLENS_LINUX_PROGRAM") + "' /?";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::string();
  std::string output;
  char chunk[256];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0) output.append(chunk, n);
  pclose(pipe);
  size_t start = 0;
  for (int i = 0; i < index && start != std::string::npos; ++i) {
    start = output.find("\r\n", start);
    if (start != std::string::npos) start += 2;
  }
  if (start == std::string::npos) return std::string();
  return output.substr(start, output.find("\r\n", start) - start);
}

// The manifest without its XML comments, which may name anything.
std::string WithoutComments(std::string xml) {
  for (size_t start; (start = xml.find("<!--")) != std::string::npos;) {
    size_t end = xml.find("-->", start);
    xml.erase(start, end == std::string::npos ? std::string::npos : end + 3 - start);
  }
  return xml;
}

class WindowsResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string path = Environment("USERLENS_WINDOWS_PROGRAM");
    ASSERT_FALSE(path.empty()) << "USERLENS_WINDOWS_PROGRAM names no program";
    std::string image = ReadFile(path);
    ASSERT_FALSE(image.empty()) << "cannot read " << path;
    ASSERT_NO_THROW(resources_ = pe::ReadResources(image)) << path;
  }

  // The one resource of the type, which must have the id 1 and the U.S. English language.
  const pe::Resource& Only(uint32_t type) {
    const pe::Resource* only = nullptr;
    int count = 0;
    for (const pe::Resource& resource : resources_) {
      if (resource.type == type) {
        only = &resource;
        ++count;
      }
    }
    if (count != 1)
      throw std::runtime_error("resources of type " + std::to_string(type) + ": " +
                               std::to_string(count));
    return *only;
  }

  pe::VersionInfo Version() { return pe::ParseVersionInfo(Only(pe::kRtVersion).data); }

  std::vector<pe::Resource> resources_;
};

TEST_F(WindowsResourcesTest, CarriesOneVersionResourceAndOneManifest) {
  struct Case {
    uint32_t type;
    const char* what;
  };
  for (const Case& c :
       {Case{pe::kRtVersion, "version resource"}, Case{pe::kRtManifest, "application manifest"}}) {
    SCOPED_TRACE(c.what);
    const pe::Resource& resource = Only(c.type);
    // The loader reads the manifest of a program from id 1 (CREATEPROCESS_MANIFEST_RESOURCE_ID).
    EXPECT_EQ(resource.name, 1u);
    EXPECT_EQ(resource.language, 0x0409u);
    EXPECT_FALSE(resource.data.empty());
  }
}

TEST_F(WindowsResourcesTest, VersionStringsNameTheProduct) {
  pe::VersionInfo info = Version();
  ASSERT_EQ(info.strings.count("040904B0"), 1u) << "no U.S. English Unicode string table";
  const std::map<std::string, std::string>& strings = info.strings.at("040904B0");
  const std::string version = Environment("USERLENS_VERSION");
  const std::pair<const char*, std::string> expected[] = {
      {"ProductName", "Quornvale Userlens"},
      {"ProductVersion", version},
      {"FileVersion", version},
      {"CompanyName", "Quornvale"},
      {"OriginalFilename", "USERLENS.EXE"},
      {"InternalName", "USERLENS"},
  };
  for (const auto& [key, value] : expected) {
    ASSERT_EQ(strings.count(key), 1u) << "no " << key;
    EXPECT_EQ(strings.at(key), value) << key;
  }
  ASSERT_EQ(strings.count("FileDescription"), 1u);
  EXPECT_GE(strings.at("FileDescription").size(), 8u) << "Explorer shows this as the program";
}

TEST_F(WindowsResourcesTest, ProductAndVersionAreTheBannersOwn) {
  pe::VersionInfo info = Version();
  const std::map<std::string, std::string>& strings = info.strings["040904B0"];
  std::string banner = BannerLine(0);
  ASSERT_FALSE(banner.empty()) << "the Linux program printed no banner";
  EXPECT_EQ(strings.at("ProductName") + " " + strings.at("ProductVersion"), banner);
}

// Explorer's copyright names the holder exactly as the program's own copyright line does.
TEST_F(WindowsResourcesTest, LegalCopyrightIsTheBannersCopyrightLine) {
  pe::VersionInfo info = Version();
  const std::map<std::string, std::string>& strings = info.strings["040904B0"];
  std::string copyright = BannerLine(1);
  ASSERT_EQ(copyright.rfind("Copyright (c) ", 0), 0u) << "the banner's second line: " << copyright;
  ASSERT_EQ(strings.count("LegalCopyright"), 1u);
  const std::string& legal = strings.at("LegalCopyright");
  EXPECT_EQ(legal.substr(0, copyright.size()), copyright);
  // What follows the holder's name is no more of a name.
  EXPECT_TRUE(legal.size() == copyright.size() ||
              std::isalnum(static_cast<unsigned char>(legal[copyright.size()])) == 0)
      << legal;
}

TEST_F(WindowsResourcesTest, FixedVersionIsTheProjectVersion) {
  pe::VersionInfo info = Version();
  EXPECT_EQ(info.signature, 0xFEEF04BDu);
  const std::string version = Environment("USERLENS_VERSION");
  size_t dot = version.find('.');
  ASSERT_NE(dot, std::string::npos) << "USERLENS_VERSION is not major.minor: " << version;
  const std::array<uint16_t, 4> expected = {
      static_cast<uint16_t>(std::stoi(version.substr(0, dot))),
      static_cast<uint16_t>(std::stoi(version.substr(dot + 1))), 0, 0};
  EXPECT_EQ(info.fileVersion, expected);
  EXPECT_EQ(info.productVersion, expected);
  EXPECT_EQ(info.fileOs, 0x00040004u) << "VOS_NT_WINDOWS32";
  EXPECT_EQ(info.fileType, 1u) << "VFT_APP";
}

TEST_F(WindowsResourcesTest, TranslationNamesTheStringTable) {
  pe::VersionInfo info = Version();
  ASSERT_EQ(info.translations.size(), 1u);
  char key[9];
  std::snprintf(key, sizeof(key), "%04X%04X", info.translations[0].first,
                info.translations[0].second);
  EXPECT_EQ(info.strings.count(key), 1u)
      << "Translation points at " << key << ", which is not the string table";
}

TEST_F(WindowsResourcesTest, ManifestAsksForNoElevationAndKeepsTheAnsiCodePage) {
  const std::string manifest = WithoutComments(Only(pe::kRtManifest).data);
  EXPECT_EQ(manifest.rfind("<?xml", 0), 0u) << manifest;
  size_t level = manifest.find("<requestedExecutionLevel");
  ASSERT_NE(level, std::string::npos) << manifest;
  std::string element = manifest.substr(level, manifest.find('>', level) - level);
  EXPECT_NE(element.find("level=\"asInvoker\""), std::string::npos) << element;
  EXPECT_EQ(manifest.find("<requestedExecutionLevel", level + 1), std::string::npos)
      << "more than one execution level";
  // Each of these would change what the report shows: an elevated token, or output in another
  // code page than the system's ANSI one.
  for (const char* forbidden :
       {"requireAdministrator", "highestAvailable", "uiAccess=\"true\"", "activeCodePage"}) {
    EXPECT_EQ(manifest.find(forbidden), std::string::npos) << forbidden;
  }
}

}  // namespace
