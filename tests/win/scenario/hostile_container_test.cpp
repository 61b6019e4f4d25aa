// Damaged and stretched payloads (tests/hostile): each one run silently
// ends with 0, or with -1 after the read-error report, and loses no marker.
#include "hostile_support.h"

namespace {

class HostileContainer : public hostile::HostileScenario {};

TEST_F(HostileContainer, EveryDamagedOrStretchedPayloadEndsInItsOutcome) {
  const std::vector<hostile::Case> cases = hostile::ContainerCases();
  RunCases(cases);
  // The report holds an interactive run and a quiet one alike.
  ASSERT_TRUE(InstallApp());
  for (const hostile::Case& c : cases) {
    if (c.name != "cut-before-end") continue;
    for (const wchar_t* arguments : {L"", L"/Q"}) {
      SCOPED_TRACE(harness::Narrow(arguments));
      ExpectOutcome(Run(c.payload, arguments), false, &c);
    }
  }
}

// payloadOffset aimed into the program itself: the walk reads the program's
// own bytes as chunks. Whatever it makes of them, it must end, with -1
// after a report or with 0, and never take what it was not given.
TEST_F(HostileContainer, APayloadOffsetInsideTheProgramEndsCleanly) {
  hostile::Bytes whole;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(harness::RetraxProgram(), pack::EncodePayload(hostile::BasePayload()), &whole,
                                  &error))
      << error;
  const long field = pack::FindPayloadOffsetField(whole);
  ASSERT_GE(field, 0);
  const uint32_t length = (uint32_t)harness::RetraxProgram().size();
  for (uint32_t offset : {1u, 0x40u, (uint32_t)field, length - 12, length - 1}) {
    SCOPED_TRACE(offset);
    ASSERT_TRUE(InstallApp());
    pack::WriteU32(&whole[field], offset);
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", whole));
    const harness::RunResult run = harness::RunProgram(sandbox.Path(L"App\\uninstall.exe"), L"/S", Options());
    ExpectOutcome(run, run.exitCode == 0);
  }
}

}  // namespace
