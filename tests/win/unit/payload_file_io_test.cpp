// The payload read from a program file as the program reads its own: the
// buffered file source gives exactly what the memory source gives.
#include "payload/file_io.h"
#include "unit_test_support.h"

namespace {

// Everything the read filled, as one comparable text.
std::wstring Describe(int status, const UninstallData& d) {
  std::wstring out = std::to_wstring(status) + L" " + LookupMessage(&d, 0, 1);
  for (uint32_t i = 0; i < d.files.count; ++i)
    out += std::wstring(L"\n") + d.files.items[i]->folder + L"|" + d.files.items[i]->name + L"|" +
           std::to_wstring(d.files.items[i]->flags);
  return out + L"\n" + std::to_wstring(d.extensionBlob ? RotateAddChecksum(d.extensionBlob, d.extensionLength, 0) : 0);
}

// About 200 KB: a skipped chunk of `shift` bytes that moves the buffer's
// edges through what follows, many small chunks, one large list chunk, and
// an image longer than the buffer.
pack::Bytes LargePayload(size_t shift) {
  pack::Payload p;
  p.messages = {u"Title", u"Remove?", u"Done", u"Yes"};
  for (int i = 0; i < 3000; ++i)
    p.files.push_back({i % 2 ? u".\\bin" : u"C:\\App", u"file" + std::u16string(i % 17, u'x'), (uint8_t)i});
  p.hasExtension = true;
  p.extensionContent.resize(70000);
  for (size_t i = 0; i < p.extensionContent.size(); ++i) p.extensionContent[i] = (uint8_t)(i * 7);
  pack::Bytes out;
  pack::AppendChunk(&out, 0x4242, pack::Bytes(shift, 0));
  for (int i = 0; i < 2000; ++i)
    pack::AppendChunk(&out, CHUNK_FILES, pack::EncodeFileList({{u"c", std::u16string(i % 5, u'n'), 0}}));
  pack::Bytes rest = pack::EncodePayload(p);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

TEST(PayloadFileIo, TheFileSourceReadsWhatTheMemorySourceReads) {
  ScratchFolder scratch;
  const std::wstring path = scratch.Path(L"app.exe");
  const uint32_t programLength = 1500;
  const long live = MemLiveBlocks();
  for (size_t shift : {1, 7}) {
    const pack::Bytes payload = LargePayload(shift);
    for (size_t cut : {payload.size(), payload.size() - 1, (size_t)5, (size_t)FILE_SOURCE_BUFFER_BYTES,
                       payload.size() - 30000}) {
      SCOPED_TRACE(testing::Message() << shift << " " << cut);
      pack::Bytes file(programLength, 0xCC);
      file.insert(file.end(), payload.begin(), payload.begin() + cut);
      ASSERT_TRUE(harness::WriteWholeFile(path, file));
      UninstallData& fromFile = uninstallData;
      UninstallData fromMemory = {};
      fromFile = {};
      const int status = ReadPayloadFromFile(path.c_str(), programLength);
      MemorySource memory = {file.data() + programLength, cut, 0};
      PayloadSource source = MakeMemorySource(&memory);
      EXPECT_EQ(Describe(status, fromFile), Describe(ReadPayloadChunks(&source, &fromMemory), fromMemory));
      EXPECT_EQ(status, cut == payload.size() ? PAYLOAD_OK : PAYLOAD_READ_ERROR);
      ReleasePayloadBlocks(&fromFile);
      ReleasePayloadBlocks(&fromMemory);
      EXPECT_EQ(MemLiveBlocks(), live);
    }
  }
  EXPECT_EQ(ReadPayloadFromFile(scratch.Path(L"missing.exe").c_str(), 10), PAYLOAD_NO_FILE);
}

}  // namespace
