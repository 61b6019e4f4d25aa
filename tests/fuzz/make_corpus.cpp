// Writes the seed corpus of the reader's fuzz target: payloads made with
// the writer (tests/hostile adds the hostile ones).
// Usage: retrax_fuzz_corpus <directory>
#include <stdio.h>

#include <string>

#include "payload/writer.h"

using namespace pack;

static bool Save(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  const bool ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return f && fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 2) return fprintf(stderr, "usage: %s <directory>\n", argv[0]), 2;
  Payload full;
  full.header = {HEADER_WAIT_FOR_COMMAND, u"#Install#\\setup.exe /u", u"http://example.com/bye"};
  full.messages = {u"App", u"Remove App?", u"Done", u"Yes", u"Yes to all", u"No", u"No to all",
                   u"Out of memory: %s", u"Cannot read %s", u"%s is read-only", u"Remove %s?"};
  full.files = {{u".", u"app.exe", FileCheckInUse}, {u".\\bin", u"a.dll", FileShared | FileComponent},
                {u"C:\\Windows\\Fonts", u"f.ttf", FileFont}, {u".\\bin", u"", 0}};
  full.shortcuts = {{2, u"#Programs#\\App", u"#CommonPrograms#\\App", u"App.lnk"}};
  full.registry = {{0x80000002u, u"Software\\App"}, {0x80000001u, u"Software\\App\\\\Value"}};
  full.folderTrees = {u"cache\\*.*", u"#AppData#\\App\\*.log"};
  full.hasExtension = full.hasOpaque = true;
  full.extensionContent = ExtensionPathContent(u"C:\\ext.dll");
  full.opaque = {1, 2, 3, 4};
  Bytes skipped;  // a retired tag, an unknown one, and an end chunk with a body
  AppendChunk(&skipped, CHUNK_UNUSED_1238, {0x7F, 0x7F, 0, 0}), AppendChunk(&skipped, 0x4242, {1, 2, 3});
  AppendChunk(&skipped, CHUNK_END, {9, 9});
  const std::string dir = argv[1];
  if (!(Save(dir + "/smallest.bin", EncodePayload(Payload())) && Save(dir + "/full.bin", EncodePayload(full)) &&
        Save(dir + "/skipped.bin", skipped)))
    return fprintf(stderr, "cannot write the corpus into %s\n", dir.c_str()), 1;
  return 0;
}
