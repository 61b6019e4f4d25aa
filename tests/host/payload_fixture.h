// Shared set-up of the payload tests: a reader run over bytes in memory,
// torn down with the release of the end of a run and a leak check.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "payload/memory.h"
#include "payload/uninstall_data.h"
#include "payload/writer.h"

using pack::Bytes;

inline std::u16string Text(const RxChar* text) {
  return text ? std::u16string(text) : std::u16string(u"<none>");
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A chunk header with any size, body not included.
inline Bytes RawChunkHeader(uint16_t tag, uint64_t size, uint8_t flags = 0) {
  Bytes out = {(uint8_t)tag, (uint8_t)(tag >> 8), flags, 0};
  for (int i = 0; i < 8; ++i) out.push_back((uint8_t)(size >> (8 * i)));
  return out;
}

inline Bytes Chunk(uint16_t tag, const Bytes& body, uint8_t flags = 0) {
  Bytes out;
  pack::AppendChunk(&out, tag, body, flags);
  return out;
}

// The pieces one after another, then CHUNK_END unless told otherwise.
inline Bytes Payload(std::initializer_list<Bytes> pieces, bool end = true) {
  Bytes out;
  for (const Bytes& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  if (end) pack::AppendEnd(&out);
  return out;
}

class PayloadTest : public ::testing::Test {
 protected:
  UninstallData data{};
  long liveAtStart = 0;

  void SetUp() override { liveAtStart = MemLiveBlocks(); }
  void TearDown() override {
    MemFailAfter(0);
    ReleasePayloadBlocks(&data);
    EXPECT_EQ(MemLiveBlocks(), liveAtStart) << "blocks leaked";
    EXPECT_EQ(data.files.items, nullptr);
    EXPECT_EQ(data.messages, nullptr);
  }

  int Read(const Bytes& bytes) {
    MemorySource memory{bytes.data(), bytes.size(), 0};
    PayloadSource source = MakeMemorySource(&memory);
    return ReadPayloadChunks(&source, &data);
  }
  // Reads as a fresh run would, releasing what an earlier Read filled.
  int ReadAgain(const Bytes& bytes) {
    ReleasePayloadBlocks(&data);
    return Read(bytes);
  }
};
