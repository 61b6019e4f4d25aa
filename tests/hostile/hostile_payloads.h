// Hostile uninstall payloads: one ordinary payload, damaged and stretched
// in every way a careless or malicious writer could, each with the outcome
// the uninstaller must reach. Built with the writer plus byte surgery, so
// that the bytes are made where the case is described.
//
// Used by the Windows scenarios (tests/win/scenario/hostile_*_test.cpp),
// which run each case through retrax.exe under Wine, and by make_hostile.cpp,
// which writes the small ones as seeds of the reader's fuzz target and lists
// them in tests/hostile/README.md. Cases that depend on the machine (path
// lengths, deep trees, long lists) are made by the scenarios themselves.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "payload/writer.h"

namespace hostile {

typedef pack::Bytes Bytes;

enum class Outcome {
  // Read up to its end chunk: the run goes on and ends with 0.
  kCompletes,
  // A read error after the message table was read: reported with message 8
  // (Report below), then the run ends with -1 and nothing removed.
  kDamaged,
  // A read error before any message table was read: reported in a box with
  // empty caption and text, then -1.
  kDamagedUntitled,
};

// The text a report box must show: before, the program's path when
// withPath, then after; and its caption, message 0 of the table read.
struct Report {
  std::u16string before;
  bool withPath = true;
  std::u16string after;
  std::u16string caption;
  // The whole text for the program at path, cut to the 1023 units that the
  // report's 2048-byte buffer holds besides its terminator.
  std::u16string For(const std::u16string& path) const;
};

struct Case {
  std::string name;  // also the seed's file name: hostile-<name>.bin
  Bytes payload;
  Outcome outcome;
  std::string why;  // one line: what is hostile in it
  Report report;    // for kDamaged
};

// Texts of the base payload's messages that the cases look for.
extern const char16_t kTitle[];        // message 0
extern const char16_t kDamageText[];   // message 8, with its "%s"
Report DamageReport();                 // kDamageText with the path in it

// The ordinary payload the cases start from. Everything it lists lies in the
// install folder (app.exe, data\settings.ini, the folder data, the tree
// cache\*.tmp) or is a name that exists nowhere; its chunks come in the
// writer's order: header, messages, files, shortcuts, registry, folder
// trees, extension, opaque, end.
pack::Payload BasePayload();

// The offsets at which the chunks of a payload begin, the end chunk's
// included; a payload cut short ends the list where its walk would fail.
std::vector<size_t> ChunkStarts(const Bytes& payload);

// Truncations, sizes, counts, record bounds, header offsets, unterminated
// strings and lists: cases of the container and its record lists.
std::vector<Case> ContainerCases();

// Message tables with printf conversions, percent signs and texts longer
// than the report's buffer, each read up to a damaged chunk so that the run
// ends in a report of message 8.
std::vector<Case> MessageCases();

const char* OutcomeText(Outcome outcome);

}  // namespace hostile
