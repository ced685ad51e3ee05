#include "PeResources.h"

#include <iconv.h>

#include <algorithm>
#include <memory>

namespace pe {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr int kResourceLevels = 3;  // type, name, language

[[noreturn]] void Fail(const std::string& what) {
  throw FormatError(what);
}

// Little-endian reads, checked against the end of the bytes.
uint32_t Read(const std::string& bytes, size_t offset, size_t width) {
  if (offset > bytes.size() || bytes.size() - offset < width) Fail("read past the end of the data");
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return value;
}
uint16_t Read16(const std::string& bytes, size_t offset) {
  return static_cast<uint16_t>(Read(bytes, offset, 2));
}
uint32_t Read32(const std::string& bytes, size_t offset) {
  return Read(bytes, offset, 4);
}

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawOffset;
};

class Image {
 public:
  explicit Image(const std::string& bytes) : bytes_(bytes) {
    if (bytes_.size() < 0x40 || bytes_.compare(0, 2, "MZ") != 0) Fail("no MZ header");
    size_t pe = Read32(bytes_, 0x3C);
    if (Read32(bytes_, pe) != 0x00004550) Fail("no PE signature");
    size_t coff = pe + 4;
    uint16_t sectionCount = Read16(bytes_, coff + 2);
    uint16_t optionalSize = Read16(bytes_, coff + 16);
    size_t optional = coff + 20;
    uint16_t magic = Read16(bytes_, optional);
    size_t directoryCountAt;
    if (magic == 0x10B) {
      directoryCountAt = optional + 92;  // PE32
    } else if (magic == 0x20B) {
      directoryCountAt = optional + 108;  // PE32+
    } else {
      Fail("unknown optional header magic");
    }
    uint32_t directoryCount = Read32(bytes_, directoryCountAt);
    const uint32_t kResourceDirectory = 2;
    if (directoryCount > kResourceDirectory) {
      resourceRva_ = Read32(bytes_, directoryCountAt + 4 + 8 * kResourceDirectory);
    }
    size_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      size_t at = table + 40u * i;
      sections_.push_back(Section{Read32(bytes_, at + 12), Read32(bytes_, at + 8),
                                  Read32(bytes_, at + 16), Read32(bytes_, at + 20)});
    }
  }

  uint32_t ResourceRva() const { return resourceRva_; }

  size_t OffsetOf(uint32_t rva, uint32_t size) const {
    for (const Section& section : sections_) {
      if (rva < section.virtualAddress) continue;
      uint32_t into = rva - section.virtualAddress;
      if (into >= std::max(section.virtualSize, section.rawSize)) continue;
      if (into > section.rawSize || section.rawSize - into < size) {
        Fail("resource data lies outside the section's bytes");
      }
      size_t offset = size_t{section.rawOffset} + into;
      if (offset > bytes_.size() || bytes_.size() - offset < size) Fail("section past the file");
      return offset;
    }
    Fail("address in no section");
  }

 private:
  const std::string& bytes_;
  uint32_t resourceRva_ = 0;
  std::vector<Section> sections_;
};

void Walk(const std::string& bytes, const Image& image, size_t root, size_t directory, int level,
          std::array<uint32_t, kResourceLevels>& ids, std::vector<Resource>& found) {
  size_t count = size_t{Read16(bytes, directory + 12)} + Read16(bytes, directory + 14);
  for (size_t i = 0; i < count; ++i) {
    size_t entry = directory + 16 + 8 * i;
    uint32_t name = Read32(bytes, entry);
    uint32_t target = Read32(bytes, entry + 4);
    ids[static_cast<size_t>(level)] = (name & kHighBit) != 0 ? 0xFFFFFFFFu : name;
    bool isDirectory = (target & kHighBit) != 0;
    size_t at = root + (target & ~kHighBit);
    if (isDirectory != (level + 1 < kResourceLevels)) Fail("resource tree of unexpected depth");
    if (isDirectory) {
      Walk(bytes, image, root, at, level + 1, ids, found);
      continue;
    }
    uint32_t dataRva = Read32(bytes, at);
    uint32_t size = Read32(bytes, at + 4);
    found.push_back(
        Resource{ids[0], ids[1], ids[2], bytes.substr(image.OffsetOf(dataRva, size), size)});
  }
}

// UTF-16LE to UTF-8, by the C library's converter.
std::string Utf8(std::string utf16le) {
  iconv_t opened = iconv_open("UTF-8", "UTF-16LE");
  if (opened == reinterpret_cast<iconv_t>(-1)) Fail("the C library has no UTF-16LE converter");
  std::unique_ptr<void, int (*)(iconv_t)> converter(opened, iconv_close);
  std::string utf8(utf16le.size() * 2, '\0');  // up to three bytes for two
  char* in = utf16le.data();
  size_t inLeft = utf16le.size();
  char* out = utf8.data();
  size_t outLeft = utf8.size();
  if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
    Fail("text that is no UTF-16");
  }
  utf8.resize(utf8.size() - outLeft);
  return utf8;
}

// A zero-ended UTF-16 text at offset, which must end before limit; returns the offset after the
// terminating zero.
size_t ReadText(const std::string& data, size_t offset, size_t limit, std::string& text) {
  const size_t start = offset;
  for (;; offset += 2) {
    if (offset + 2 > limit) Fail("text without its terminating zero");
    if (Read16(data, offset) == 0) break;
  }
  text = Utf8(data.substr(start, offset - start));
  return offset + 2;
}

size_t Align4(size_t offset) {
  return (offset + 3) & ~size_t{3};
}

// One node of a VS_VERSIONINFO tree: wLength, wValueLength, wType, szKey, padding, Value,
// padding, Children.
struct Node {
  std::string key;
  uint16_t type = 0;         // 1: the value is text, 0: binary
  uint16_t valueLength = 0;  // in bytes for binary values, in UTF-16 units for text
  size_t value = 0;          // offset of the value
  size_t children = 0;       // offset of the first child
  size_t end = 0;            // offset after the node
};

Node ReadNode(const std::string& data, size_t offset, size_t limit) {
  Node node;
  uint16_t length = Read16(data, offset);
  if (length < 6 || offset + length > limit) Fail("version node of impossible length");
  node.end = offset + length;
  node.valueLength = Read16(data, offset + 2);
  node.type = Read16(data, offset + 4);
  node.value = Align4(ReadText(data, offset + 6, node.end, node.key));
  size_t valueBytes = node.type == 1 ? size_t{node.valueLength} * 2 : node.valueLength;
  if (node.value > node.end || node.end - node.value < valueBytes) Fail("version value too long");
  node.children = Align4(node.value + valueBytes);
  return node;
}

std::vector<Node> Children(const std::string& data, const Node& parent) {
  std::vector<Node> children;
  for (size_t at = parent.children; at + 6 <= parent.end;) {
    Node child = ReadNode(data, at, parent.end);
    children.push_back(child);
    at = Align4(child.end);
  }
  return children;
}

}  // namespace

std::vector<Resource> ReadResources(const std::string& image) {
  Image parsed(image);
  std::vector<Resource> found;
  if (parsed.ResourceRva() == 0) return found;
  size_t root = parsed.OffsetOf(parsed.ResourceRva(), 16);
  std::array<uint32_t, kResourceLevels> ids{};
  Walk(image, parsed, root, root, 0, ids, found);
  return found;
}

VersionInfo ParseVersionInfo(const std::string& data) {
  Node root = ReadNode(data, 0, data.size());
  if (root.key != "VS_VERSION_INFO") Fail("not a VS_VERSION_INFO block: " + root.key);
  if (root.valueLength < 52) Fail("no VS_FIXEDFILEINFO");
  VersionInfo info;
  size_t fixed = root.value;
  info.signature = Read32(data, fixed);
  auto split = [&](size_t at, std::array<uint16_t, 4>& version) {
    uint32_t ms = Read32(data, at);
    uint32_t ls = Read32(data, at + 4);
    version = {static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms),
               static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls)};
  };
  split(fixed + 8, info.fileVersion);
  split(fixed + 16, info.productVersion);
  info.fileOs = Read32(data, fixed + 32);
  info.fileType = Read32(data, fixed + 36);

  for (const Node& block : Children(data, root)) {
    if (block.key == "StringFileInfo") {
      for (const Node& table : Children(data, block)) {
        for (const Node& entry : Children(data, table)) {
          std::string text;
          if (entry.valueLength > 0) ReadText(data, entry.value, entry.end, text);
          info.strings[table.key][entry.key] = text;
        }
      }
    } else if (block.key == "VarFileInfo") {
      for (const Node& var : Children(data, block)) {
        if (var.key != "Translation") continue;
        for (size_t at = var.value; at + 4 <= var.value + var.valueLength; at += 4) {
          info.translations.emplace_back(Read16(data, at), Read16(data, at + 2));
        }
      }
    }
  }
  return info;
}

}  // namespace pe
