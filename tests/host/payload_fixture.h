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

inline std::u16string Text(const RxChar* text) { return text ? std::u16string(text) : u"<none>"; }

inline Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

inline Bytes Chunk(uint16_t tag, const Bytes& body, uint8_t flags = 0, Bytes out = {}) {
  return pack::AppendChunk(&out, tag, body, flags), out;
}
// The chunks one after another, then CHUNK_END.
inline Bytes Payload(std::initializer_list<Bytes> chunks, Bytes out = {}) {
  for (const Bytes& chunk : chunks) out = out + chunk;
  return pack::AppendEnd(&out), out;
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
  }
  // Reads as a fresh run would, releasing what an earlier read filled.
  int Read(const Bytes& bytes) {
    ReleasePayloadBlocks(&data);
    MemorySource memory{bytes.data(), bytes.size(), 0};
    PayloadSource source = MakeMemorySource(&memory);
    return ReadPayloadChunks(&source, &data);
  }
};
