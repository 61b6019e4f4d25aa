// Writes the seed corpus of the reader's fuzz target: small payloads made
// with the writer, one per chunk kind and a few that stress the walk.
// Usage: retrax_fuzz_corpus <directory>
#include <stdio.h>

#include <string>

#include "payload/writer.h"

using namespace pack;

namespace {

bool Save(const std::string& dir, const char* name, const Bytes& bytes) {
  std::string path = dir + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

Bytes Single(uint16_t tag, const Bytes& body, uint8_t flags = 0) {
  Bytes out;
  AppendChunk(&out, tag, body, flags);
  AppendEnd(&out);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  Payload full;
  full.header = {HEADER_WAIT_FOR_COMMAND, u"#Install#\\setup.exe /u", u"http://example.com/bye"};
  full.messages = {u"App", u"Remove App?", u"Done", u"Yes", u"Yes to all", u"No", u"No to all",
                   u"Out of memory: %s", u"Cannot read %s", u"%s is read-only", u"Remove %s?"};
  full.files = {{u".", u"app.exe", FileCheckInUse}, {u".\\bin", u"a.dll", FileShared | FileComponent},
                {u"C:\\Windows\\Fonts", u"f.ttf", FileFont}, {u".\\bin", u"", 0}};
  full.shortcuts = {{2, u"#Programs#\\App", u"#CommonPrograms#\\App", u"App.lnk"}};
  full.registry = {{0x80000002u, u"Software\\App"}, {0x80000001u, u"Software\\App\\\\Value"}};
  full.folderTrees = {u"cache\\*.*", u"#AppData#\\App\\*.log"};
  full.hasExtension = true;
  full.extensionContent = ExtensionPathContent(u"C:\\ext.dll");
  full.hasOpaque = true;
  full.opaque = {1, 2, 3, 4};

  Bytes repeated;
  AppendChunk(&repeated, CHUNK_FILES, EncodeFileList({{u"a", u"1", 0}, {u"b", u"2", 0}}));
  AppendChunk(&repeated, CHUNK_FILES, EncodeFileList({{u"c", u"3", 0}}));
  AppendChunk(&repeated, CHUNK_FOLDER_TREES, EncodeFolderTrees({u"A", u"B"}));
  AppendChunk(&repeated, CHUNK_FOLDER_TREES, EncodeFolderTrees({u"C"}));
  AppendChunk(&repeated, CHUNK_MESSAGES, EncodeMessages({{u"one"}, {u"second table"}}));
  AppendChunk(&repeated, CHUNK_MESSAGES, EncodeMessages({{u"two", u"%s%%"}}));
  AppendChunk(&repeated, CHUNK_HEADER, EncodeHeader({1, u"x", u""}));
  AppendChunk(&repeated, CHUNK_HEADER, EncodeHeader({2, u"", u"y"}));
  AppendEnd(&repeated);

  Bytes skipped;
  AppendChunk(&skipped, CHUNK_UNUSED_1238, {0x7F, 0x7F, 0, 0});
  AppendChunk(&skipped, 0x4242, {1, 2, 3});
  AppendChunk(&skipped, CHUNK_FILES, {});
  AppendChunk(&skipped, CHUNK_END, {9, 9});

  Bytes truncated = EncodePayload(full);
  truncated.resize(truncated.size() / 2);

  Bytes endOnly;
  AppendEnd(&endOnly);
  Bytes image(300, 0x4D);
  bool ok = Save(dir, "smallest.bin", EncodePayload(Payload())) &&
            Save(dir, "end-only.bin", endOnly) &&
            Save(dir, "files.bin", Single(CHUNK_FILES, EncodeFileList(full.files))) &&
            Save(dir, "shortcuts.bin", Single(CHUNK_SHORTCUTS, EncodeShortcutList(full.shortcuts))) &&
            Save(dir, "registry.bin", Single(CHUNK_REGISTRY, EncodeRegistryList(full.registry))) &&
            Save(dir, "messages.bin", Single(CHUNK_MESSAGES, EncodeMessages({full.messages}))) &&
            Save(dir, "header.bin", Single(CHUNK_HEADER, EncodeHeader(full.header))) &&
            Save(dir, "extension-image.bin", Single(CHUNK_EXTENSION, EncodeExtensionBlob(image))) &&
            Save(dir, "unloadable.bin", Single(CHUNK_OPAQUE, {1, 2}, CHUNK_FLAG_UNLOADABLE)) &&
            Save(dir, "full.bin", EncodePayload(full)) && Save(dir, "repeated.bin", repeated) &&
            Save(dir, "skipped.bin", skipped) && Save(dir, "truncated.bin", truncated);
  if (!ok) {
    fprintf(stderr, "cannot write the corpus into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
