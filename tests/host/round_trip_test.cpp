// Writer to reader: every record kind, chunks of a kind repeated, headers
// and tables replaced; then the same payload with each allocation failing
// in turn.
#include "payload_fixture.h"

namespace {

// What the read filled, in the writer's terms; two payloads compare equal
// when their encodings do.
pack::Payload ReadBack(const UninstallData& d) {
  pack::Payload p;
  p.hasHeader = d.header != nullptr;
  p.header.flags = GetHeaderFlags(&d);
  if (const RxChar* command = GetHeaderCommand(&d)) p.header.command = command;
  if (const RxChar* page = GetHeaderFinalPage(&d)) p.header.finalPage = page;
  for (int i = 0; d.messages && d.messages[i]; ++i) p.messages.push_back(d.messages[i]);
  for (uint32_t i = 0; i < d.files.count; ++i)
    p.files.push_back({d.files.items[i]->folder, d.files.items[i]->name, d.files.items[i]->flags});
  for (uint32_t i = 0; i < d.shortcuts.count; ++i)
    p.shortcuts.push_back({(uint8_t)d.shortcuts.items[i]->levels, d.shortcuts.items[i]->folder,
                           d.shortcuts.items[i]->secondFolder, d.shortcuts.items[i]->fileName});
  for (uint32_t i = 0; i < d.registry.count; ++i)
    p.registry.push_back({d.registry.items[i]->root, d.registry.items[i]->path});
  for (const RxChar* t = (const RxChar*)d.folderTrees; t && *t; t += Text(t).size() + 1)
    p.folderTrees.push_back(t);
  p.hasExtension = d.extensionBlob, p.hasOpaque = d.opaque;
  p.extensionContent.assign(d.extensionBlob, d.extensionBlob + d.extensionLength);
  p.opaque.assign(d.opaque, d.opaque + d.opaqueLength);
  return p;
}

template <typename T>
void Prepend(std::vector<T>* to, const std::vector<T>& from) { to->insert(to->begin(), from.begin(), from.end()); }

// The second chunk of each kind adds to the lists and replaces the header,
// the message table and the opaque block; the first good extension blob is
// kept, and so is the table when a later chunk holds no table or an empty
// first one. Strings empty, non-ASCII, and the longest a record holds.
void MakeRepeated(Bytes* bytes, pack::Payload* expected) {
  pack::Payload first, second;
  first.header = {3, u"setup.exe /u", u"http://a"}, second.header = {HEADER_WAIT_FOR_COMMAND, u"", u"done.html"};
  first.messages = {u"old"}, second.messages = {u"Titel \u00e4", u"", u"%s \U0001F600"};
  first.files = {{u".", u"app.exe", FileCheckInUse}, {u".\\bin", u"", 0}};
  second.files = {{std::u16string(300, u'f'), std::u16string(218, u'n'), FileShared | FileComponent}};
  first.shortcuts = {{255, u"#Programs#\\App", u"", u"App.lnk"}};
  second.shortcuts = {{0, std::u16string(700, u'a'), std::u16string(70, u'b'), std::u16string(7, u'c')}};
  first.registry = {{0x80000002u, u"Software\\App"}};
  second.registry = {{0x80000001u, std::u16string(519, u'k')}};
  first.folderTrees = {u"cache\\*.*", u"#AppData#\\App\\*.log"}, second.folderTrees = {u"logs\\*.txt"};
  first.hasExtension = first.hasOpaque = second.hasExtension = second.hasOpaque = true;
  first.extensionContent = pack::ExtensionPathContent(u"C:\\ext.dll");
  second.extensionContent = Bytes(300, 0x4D), first.opaque = {9}, second.opaque = {1, 2, 3, 4};
  *bytes = pack::EncodePayload(first);
  bytes->resize(bytes->size() - 12);  // no end chunk between the two
  *bytes = *bytes + pack::EncodePayload(second);
  const Bytes end(bytes->end() - 12, bytes->end());
  bytes->resize(bytes->size() - 12);
  pack::AppendChunk(bytes, CHUNK_MESSAGES, pack::EncodeMessages({}));
  pack::AppendChunk(bytes, CHUNK_MESSAGES, pack::EncodeMessages({{}, {u"never read"}}));
  *bytes = *bytes + end;
  *expected = second;
  Prepend(&expected->files, first.files);
  Prepend(&expected->shortcuts, first.shortcuts);
  Prepend(&expected->registry, first.registry);
  Prepend(&expected->folderTrees, first.folderTrees);
  expected->extensionContent = first.extensionContent;
}

// Every allocation of a read fails in turn: the read reports status 7 and
// nothing leaks; once the failure lies beyond the read, it reads back whole.
TEST_F(PayloadTest, RepeatedChunksReadBackAsWrittenAndEachFailedAllocationGivesOutOfMemory) {
  Bytes bytes;
  pack::Payload expected;
  MakeRepeated(&bytes, &expected);
  for (long n = 1;; ++n) {
    MemFailAfter(n);
    int status = Read(bytes);
    MemFailAfter(0);
    if (status == PAYLOAD_OK) {
      EXPECT_EQ(pack::EncodePayload(ReadBack(data)), pack::EncodePayload(expected));
      break;
    }
    ASSERT_EQ(status, PAYLOAD_OUT_OF_MEMORY) << "allocation " << n;
    ReleasePayloadBlocks(&data);
    ASSERT_EQ(MemLiveBlocks(), liveAtStart) << "allocation " << n;
  }
}

}  // namespace
