#include "dump.h"

#include <nlohmann/json.hpp>

#include "text.h"
#include "vocabulary.h"

namespace packtool {

namespace {

using Json = nlohmann::ordered_json;

std::string TagLabel(uint16_t tag) {
  const char* name = ChunkTagName(tag);
  if (tag == CHUNK_UNUSED_1238) return "tag 0x1238 (skipped)";
  if (!*name) return "unknown tag " + Hex(tag) + " (skipped)";
  return std::string(name) + " (" + Hex(tag) + ")";
}

// A registry path as the uninstaller splits it: a value when the last
// backslash is doubled.
struct RegistryTarget {
  bool isValue;
  std::u16string key;
  std::u16string value;
};

RegistryTarget SplitRegistryPath(const std::u16string& path) {
  size_t last = path.rfind(u'\\');
  if (last != std::u16string::npos && last > 0 && path[last - 1] == u'\\')
    return {true, path.substr(0, last - 1), path.substr(last + 1)};
  return {false, path, u""};
}

std::string RootLabel(uint32_t root) {
  const char* name = RootName(root);
  return *name ? std::string(name) : Hex(root);
}

bool Uses64BitView(const pack::RegistryRecord& r) {
  return r.root == ROOT_HKLM && StartsWithNoCaseAscii(r.path, "Software64");
}

std::u16string ExtensionPath(const pack::Bytes& content) {
  std::u16string path;
  for (size_t i = 0; i + 1 < content.size(); i += 2) {
    char16_t unit = (char16_t)(content[i] | (content[i + 1] << 8));
    if (!unit) break;
    path.push_back(unit);
  }
  return path;
}

bool IsImage(const pack::Bytes& content) { return content.size() > EXT_PATH_MAX_BYTES; }

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void TextChunk(const ChunkView& c, std::string* out) {
  *out += HexOffset(c.offset) + "  " + TagLabel(c.header.tag) + "  size " +
          std::to_string(c.header.size);
  if (c.header.flags) *out += "  flags " + Hex(c.header.flags);
  *out += "\n";
  const std::string in = "    ";
  if (!c.dispatched && c.header.tag != CHUNK_END && c.status == PAYLOAD_OK)
    *out += in + "empty: never handed to a reader\n";
  switch (c.header.tag) {
    case CHUNK_HEADER:
      if (c.headerBody.empty()) break;
      *out += in + "flags " + Hex(c.headerFlags) +
              (c.headerFlags ? " (" + HeaderFlagNames(c.headerFlags) + ")" : "") + "\n";
      *out +=
          in + "command: " +
          (c.hasCommand ? Quoted(c.command) + " (offset " + std::to_string(c.commandOffset) + ")"
           : c.commandOffset ? "none (offset " + std::to_string(c.commandOffset) + " unusable)"
                             : std::string("none")) +
          "\n";
      *out +=
          in + "finalPage: " +
          (c.hasFinalPage
               ? Quoted(c.finalPage) + " (offset " + std::to_string(c.finalPageOffset) + ")"
           : c.finalPageOffset ? "none (offset " + std::to_string(c.finalPageOffset) + " unusable)"
                               : std::string("none")) +
          "\n";
      break;
    case CHUNK_MESSAGES:
      if (c.tableCount > 1 || c.messages.empty())
        *out += in + Plural(c.tableCount, "table", "tables") + "; only the first is read\n";
      for (size_t i = 0; i < c.messages.size(); ++i)
        *out += in + "[" + std::to_string(i) + "] " + MessageUseOf(i).meaning + "\n" + in +
                "     " + Quoted(c.messages[i]) + "\n";
      break;
    case CHUNK_FILES:
      if (c.dispatched) *out += in + Plural(c.recordCount, "record", "records") + "\n";
      for (size_t i = 0; i < c.files.size(); ++i) {
        const pack::FileRecord& r = c.files[i];
        *out += in + "[" + std::to_string(i) + "] " +
                (i < c.recordOffsets.size() ? HexOffset(c.recordOffsets[i]) + "  " : "") +
                "folder " + Quoted(r.folder) + " name " + Quoted(r.name) + " flags " +
                Hex(r.flags) + (r.flags ? " (" + FileFlagNames(r.flags) + ")" : "") + "\n";
      }
      break;
    case CHUNK_SHORTCUTS:
      if (c.dispatched) *out += in + Plural(c.recordCount, "record", "records") + "\n";
      for (size_t i = 0; i < c.shortcuts.size(); ++i) {
        const pack::ShortcutRecord& r = c.shortcuts[i];
        *out += in + "[" + std::to_string(i) + "] " +
                (i < c.recordOffsets.size() ? HexOffset(c.recordOffsets[i]) + "  " : "") +
                "levels " + std::to_string(r.levels) + " folder " + Quoted(r.folder) +
                " secondFolder " + Quoted(r.secondFolder) + " fileName " + Quoted(r.fileName) +
                "\n";
      }
      break;
    case CHUNK_REGISTRY:
      if (c.dispatched) *out += in + Plural(c.recordCount, "record", "records") + "\n";
      for (size_t i = 0; i < c.registry.size(); ++i) {
        const pack::RegistryRecord& r = c.registry[i];
        RegistryTarget target = SplitRegistryPath(r.path);
        *out +=
            in + "[" + std::to_string(i) + "] " +
            (i < c.recordOffsets.size() ? HexOffset(c.recordOffsets[i]) + "  " : "") +
            RootLabel(r.root) + " " + Quoted(r.path) +
            (target.isValue ? "  value " + Quoted(target.value) + " of key " + Quoted(target.key)
                            : "  key with its subkeys") +
            (Uses64BitView(r) ? ", 64-bit view" : "") + "\n";
      }
      break;
    case CHUNK_FOLDER_TREES:
      for (const std::u16string& tree : c.folderTrees) *out += in + Quoted(tree) + "\n";
      break;
    case CHUNK_EXTENSION:
      if (c.extensionPassed) {
        *out += in + "checks passed; content " +
                Plural(c.extensionContent.size(), "byte", "bytes") + ": " +
                (IsImage(c.extensionContent)
                     ? std::string("library image")
                     : "library path " + Quoted(ExtensionPath(c.extensionContent))) +
                "\n";
      } else if (c.dispatched && c.status == PAYLOAD_OK) {
        *out += in + "checks failed, dropped: " + c.extensionProblem + "\n";
      }
      break;
    case CHUNK_OPAQUE:
      if (c.dispatched && c.status == PAYLOAD_OK)
        *out += in + "opaque block, held and never read\n";
      break;
  }
  if (c.unusedBytes)
    *out += in + std::to_string(c.unusedBytes) + " bytes behind the records are skipped\n";
  if (c.status != PAYLOAD_OK) *out += in + "refused: " + c.problem + "\n";
}

}  // namespace

std::string DumpText(const std::string& fileName, const PayloadScan& scan) {
  std::string out = fileName + ": ";
  if (scan.isProgram) {
    out += "program file of " + std::to_string(scan.fileLength) + " bytes";
    if (scan.fieldOffset)
      out += "; payloadOffset field at " + HexOffset(scan.fieldOffset) + " holds " +
             Hex(scan.fieldValue);
  } else {
    out += "bare payload of " + std::to_string(scan.fileLength) + " bytes";
  }
  out += "\n";
  if (!scan.hasPayload) return out + "no payload: " + scan.noPayload + "\n";
  out += "payload at " + HexOffset(scan.payloadOffset) + "\n\n";
  for (const ChunkView& chunk : scan.chunks) TextChunk(chunk, &out);
  if (scan.endSeen && scan.endOffset < scan.fileLength)
    out += HexOffset(scan.endOffset) + "  " + std::to_string(scan.fileLength - scan.endOffset) +
           " bytes behind CHUNK_END, never read\n";
  out += "\nstatus " + std::to_string(scan.status) + " (" + StatusName(scan.status) + ")";
  if (scan.status == PAYLOAD_OK) return out + ": read to CHUNK_END\n";
  if (scan.failedAtKnown) out += " at " + HexOffset(scan.failedAt);
  return out + ": " + scan.failure + "\n";
}

std::string DumpJson(const std::string& fileName, const PayloadScan& scan) {
  Json root;
  root["file"] = fileName;
  root["fileLength"] = scan.fileLength;
  root["kind"] = scan.isProgram ? "program" : "payload";
  if (scan.isProgram && scan.fieldOffset) root["payloadOffsetField"] = scan.fieldOffset;
  root["hasPayload"] = scan.hasPayload;
  if (scan.hasPayload) root["payloadOffset"] = scan.payloadOffset;
  Json chunks = Json::array();
  for (const ChunkView& c : scan.chunks) {
    Json j;
    j["offset"] = c.offset;
    j["tag"] = c.header.tag;
    const char* name = ChunkTagName(c.header.tag);
    j["tagName"] = *name ? Json(name) : Json(nullptr);
    j["flags"] = c.header.flags;
    j["size"] = c.header.size;
    j["status"] = c.status;
    if (c.status != PAYLOAD_OK) j["problem"] = c.problem;
    switch (c.header.tag) {
      case CHUNK_HEADER:
        if (c.headerBody.empty()) break;
        j["headerFlags"] = c.headerFlags;
        j["waitForCommand"] = (c.headerFlags & HEADER_WAIT_FOR_COMMAND) != 0;
        j["keepVisualStyles"] = (c.headerFlags & HEADER_KEEP_VISUAL_STYLES) != 0;
        j["commandOffset"] = c.commandOffset;
        j["command"] = c.hasCommand ? Json(pack::ToUtf8(c.command)) : Json(nullptr);
        j["finalPageOffset"] = c.finalPageOffset;
        j["finalPage"] = c.hasFinalPage ? Json(pack::ToUtf8(c.finalPage)) : Json(nullptr);
        break;
      case CHUNK_MESSAGES: {
        j["tableCount"] = c.tableCount;
        Json list = Json::array();
        for (size_t i = 0; i < c.messages.size(); ++i)
          list.push_back({{"index", i},
                          {"meaning", MessageUseOf(i).meaning},
                          {"text", pack::ToUtf8(c.messages[i])}});
        j["messages"] = list;
        break;
      }
      case CHUNK_FILES:
      case CHUNK_SHORTCUTS:
      case CHUNK_REGISTRY: {
        j["recordCount"] = c.recordCount;
        Json list = Json::array();
        for (size_t i = 0; i < c.files.size(); ++i)
          list.push_back({{"folder", pack::ToUtf8(c.files[i].folder)},
                          {"name", pack::ToUtf8(c.files[i].name)},
                          {"flags", c.files[i].flags},
                          {"flagNames", FileFlagNames(c.files[i].flags)}});
        for (const pack::ShortcutRecord& r : c.shortcuts)
          list.push_back({{"levels", r.levels},
                          {"folder", pack::ToUtf8(r.folder)},
                          {"secondFolder", pack::ToUtf8(r.secondFolder)},
                          {"fileName", pack::ToUtf8(r.fileName)}});
        for (const pack::RegistryRecord& r : c.registry) {
          RegistryTarget target = SplitRegistryPath(r.path);
          Json entry = {{"root", r.root},
                        {"rootName", RootLabel(r.root)},
                        {"path", pack::ToUtf8(r.path)},
                        {"isValue", target.isValue},
                        {"view64", Uses64BitView(r)}};
          if (target.isValue) entry["valueName"] = pack::ToUtf8(target.value);
          list.push_back(entry);
        }
        for (size_t i = 0; i < list.size() && i < c.recordOffsets.size(); ++i)
          list[i]["offset"] = c.recordOffsets[i];
        j["records"] = list;
        if (c.unusedBytes) j["unusedBytes"] = c.unusedBytes;
        break;
      }
      case CHUNK_FOLDER_TREES: {
        Json list = Json::array();
        for (const std::u16string& tree : c.folderTrees) list.push_back(pack::ToUtf8(tree));
        j["folderTrees"] = list;
        break;
      }
      case CHUNK_EXTENSION:
        if (!c.dispatched || c.status != PAYLOAD_OK) break;
        j["checksPassed"] = c.extensionPassed;
        if (c.extensionPassed) {
          j["contentLength"] = c.extensionContent.size();
          j["contentKind"] = IsImage(c.extensionContent) ? "image" : "path";
          if (!IsImage(c.extensionContent))
            j["path"] = pack::ToUtf8(ExtensionPath(c.extensionContent));
        } else {
          j["problem"] = c.extensionProblem;
        }
        break;
    }
    chunks.push_back(j);
  }
  root["chunks"] = chunks;
  root["endSeen"] = scan.endSeen;
  if (scan.endSeen) root["trailingBytes"] = scan.fileLength - scan.endOffset;
  root["status"] = scan.status;
  root["statusName"] = StatusName(scan.status);
  root["failedAt"] = scan.failedAtKnown ? Json(scan.failedAt) : Json(nullptr);
  root["failure"] = scan.status == PAYLOAD_OK ? Json(nullptr) : Json(scan.failure);
  // Strings come from the payload; a lone surrogate or stray byte must not
  // stop the output.
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace packtool
