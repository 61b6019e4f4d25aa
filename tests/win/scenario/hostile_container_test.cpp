// Damaged and stretched payloads (tests/hostile): each one run silently
// ends with 0, or with -1 after the read-error report, and loses no marker.
#include "hostile_support.h"

namespace {

using hostile::Case;
using hostile::Bytes;
using hostile::HostileScenario;

std::vector<Case> Select(bool truncations) {
  std::vector<Case> selected;
  for (Case& c : hostile::ContainerCases())
    if ((c.name.compare(0, 4, "cut-") == 0) == truncations) selected.push_back(std::move(c));
  return selected;
}

class HostileContainer : public HostileScenario {};

TEST_F(HostileContainer, PayloadsCutAtEveryChunkBoundaryAreReportedAndRemoveNothing) {
  const std::vector<Case> cases = Select(true);
  ASSERT_GE(cases.size(), 9u * 3 - 1);
  RunCases(cases);
  // The report holds an interactive run and a quiet one alike.
  for (const Case& c : cases) {
    if (c.name != "cut-before-end") continue;
    for (const wchar_t* arguments : {L"", L"/Q"}) {
      SCOPED_TRACE(harness::Narrow(arguments));
      ExpectOutcome(c, Run(c.payload, arguments));
    }
  }
}

TEST_F(HostileContainer, SizesCountsBoundsOffsetsAndUnterminatedStringsEndInTheirStatus) {
  RunCases(Select(false));
}

// payloadOffset aimed into the program itself: the walk reads the program's
// own bytes as chunks. Whatever it makes of them, it must end, with -1
// after a report or with 0, and never take what it was not given.
TEST_F(HostileContainer, APayloadOffsetInsideTheProgramEndsCleanly) {
  const Bytes payload = pack::EncodePayload(hostile::BasePayload());
  Bytes whole;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(harness::RetraxProgram(), payload, &whole, &error)) << error;
  const long field = pack::FindPayloadOffsetField(whole);
  ASSERT_GE(field, 0);
  const uint32_t length = (uint32_t)harness::RetraxProgram().size();
  for (uint32_t offset : {1u, 0x40u, (uint32_t)field, length - 12, length - 1}) {
    SCOPED_TRACE(offset);
    ASSERT_TRUE(InstallApp());
    pack::WriteU32(&whole[field], offset);
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", whole));
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    options.timeoutMs = hostile::kRunLimitMs;
    const harness::RunResult run = harness::RunProgram(sandbox.Path(L"App\\uninstall.exe"), L"/S", options);
    if (run.exitCode == 0) {
      EXPECT_TRUE(harness::ExitedWith(run, 0));
    } else {
      EXPECT_TRUE(harness::ExitedWith(run, hostile::kFailed));
      EXPECT_EQ(run.dialogs.size(), 1u) << "one report";
      EXPECT_EQ(AppRemoved(), std::vector<std::wstring>{});
    }
    EXPECT_TRUE(MarkersInPlace());
  }
}

}  // namespace
