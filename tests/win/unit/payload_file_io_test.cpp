// The payload read from a real program file: the buffered file source must
// give exactly what the memory source gives, across buffer boundaries, for a
// library image larger than the buffer, and for every truncation.
#include <gtest/gtest.h>

#include "payload/file_io.h"
#include "payload/memory.h"
#include "payload/writer.h"
#include "platform_test_support.h"

namespace {

void WriteWholeFile(const std::wstring& path, const pack::Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WriteBlock(file, bytes.data(), (uint32_t)bytes.size()), 0);
  CloseFileHandle(file);
}

// Everything the read filled, as one comparable text.
std::wstring Describe(int status, const UninstallData& d) {
  std::wstring out = L"status " + std::to_wstring(status) + L"\n";
  for (uint32_t i = 0; i < d.files.count; ++i)
    out += std::wstring(d.files.items[i]->folder) + L"|" + d.files.items[i]->name + L"|" +
           std::to_wstring(d.files.items[i]->flags) + L"\n";
  for (uint32_t i = 0; i < d.registry.count; ++i) out += std::wstring(d.registry.items[i]->path) + L"\n";
  for (int i = 0; i < 4; ++i) out += std::wstring(LookupMessage(&d, 0, i)) + L"\n";
  const wchar_t* command = GetHeaderCommand(&d);
  out += command ? command : L"<none>";
  out += L"\next " + std::to_wstring(d.extensionLength) + L" " +
         std::to_wstring(d.extensionBlob ? RotateAddChecksum(d.extensionBlob, d.extensionLength, 0) : 0);
  return out;
}

// About 200 KB: many small chunks, so that headers and records straddle the
// buffer's edges, one large list chunk, and an image longer than the buffer.
// The buffer starts at the payload, so a skipped chunk of shift bytes in
// front is what moves its edges through the chunks.
pack::Bytes LargePayload(size_t shift) {
  pack::Payload p;
  p.header.command = u"#Install#\\setup.exe /uninstall";
  p.messages = {u"Title", u"Remove?", u"Done", u"Yes"};
  for (int i = 0; i < 3000; ++i)
    p.files.push_back({i % 2 ? u".\\bin" : u"C:\\Program Files\\App",
                       u"file" + std::u16string(i % 17, u'x'), (uint8_t)i});
  p.registry = {{0x80000002u, u"Software\\Vendor\\App"}};
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

TEST(PayloadFileIo, FileSourceReadsWhatTheMemorySourceReads) {
  ScratchFolder scratch;
  const std::wstring path = scratch.Child(L"app.exe");
  const uint32_t programLength = 1500;
  long live = MemLiveBlocks();
  // The cuts fall inside a header, inside a record, inside the image and at
  // a buffer's edge.
  for (size_t shift : {1, 4, 7, 10}) {
    pack::Bytes payload = LargePayload(shift);
    for (size_t cut : {payload.size(), payload.size() - 1, payload.size() - 12, (size_t)5,
                       (size_t)40000, (size_t)FILE_SOURCE_BUFFER_BYTES, payload.size() - 30000}) {
      SCOPED_TRACE(testing::Message() << shift << " " << cut);
      pack::Bytes file(programLength, 0xCC);
      file.insert(file.end(), payload.begin(), payload.begin() + cut);
      WriteWholeFile(path, file);
      UninstallData fromFile = {}, fromMemory = {};
      int fileStatus = ReadPayloadFile(path.c_str(), programLength, &fromFile);
      MemorySource memory = {file.data() + programLength, cut, 0};
      PayloadSource source = MakeMemorySource(&memory);
      int memoryStatus = ReadPayloadChunks(&source, &fromMemory);
      EXPECT_EQ(Describe(fileStatus, fromFile), Describe(memoryStatus, fromMemory));
      EXPECT_EQ(fileStatus, cut == payload.size() ? PAYLOAD_OK : PAYLOAD_READ_ERROR);
      ReleasePayloadBlocks(&fromFile);
      ReleasePayloadBlocks(&fromMemory);
      EXPECT_EQ(MemLiveBlocks(), live);
    }
  }
  UninstallData none = {};
  EXPECT_EQ(ReadPayloadFile(scratch.Child(L"missing.exe").c_str(), 10, &none), PAYLOAD_NO_FILE);
  EXPECT_EQ(ReadPayloadFile(path.c_str(), 0, &none), PAYLOAD_NO_FILE);
}

}  // namespace
