// Hostile uninstall payloads: one ordinary payload, damaged and stretched
// in each way a careless or malicious writer could, with the outcome the
// uninstaller must reach. Run by the reader on the host
// (tests/host/chunk_walk_test.cpp), end to end under Wine
// (tests/win/scenario/hostile*_test.cpp), and written by make_hostile.cpp
// as seeds of the reader's fuzz target.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "payload/writer.h"

namespace hostile {

typedef pack::Bytes Bytes;

enum class Outcome {
  kCompletes,        // read to its end chunk: exit 0
  kDamaged,          // read error after the message table: message 8, exit -1
  kDamagedUntitled,  // read error before it: a box of empty caption and text, -1
};

// A report box: before, the program's path when withPath, after; caption.
struct Report {
  std::u16string before;
  bool withPath = true;
  std::u16string after = {}, caption = {};
  std::u16string For(const std::u16string& path) const;  // cut to the 1023 units of its buffer
};

struct Case {
  std::string name;  // also the seed's file name: hostile-<name>.bin
  Bytes payload;
  Outcome outcome;
  std::string why;  // one line: what is hostile in it
  Report report = {};  // for a read error
};

// Lists only app.exe, data\settings.ini, the folder data and the tree
// cache\*.tmp of the install folder, or a folder that exists nowhere.
pack::Payload BasePayload();
// Truncations, sizes, counts, record bounds, header offsets, unterminated
// strings, macros expanding past their buffer.
std::vector<Case> ContainerCases();
// Message 8 like a printf format or longer than its buffer, cut before the
// end chunk so that the run ends in it.
std::vector<Case> MessageCases();

}  // namespace hostile
