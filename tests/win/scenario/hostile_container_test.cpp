// Damaged and stretched payloads (tests/hostile): each one run silently
// ends with 0, or with -1 after the read-error report, and loses no marker.
#include "hostile_support.h"

namespace {

class HostileContainer : public hostile::HostileScenario {};

TEST_F(HostileContainer, EveryHostilePayloadEndsInItsOutcome) {
  std::vector<hostile::Case> cases = hostile::ContainerCases();
  for (hostile::Case& c : hostile::MessageCases()) cases.push_back(std::move(c));
  for (const hostile::Case& c : cases) {
    SCOPED_TRACE(c.name + ": " + c.why);
    ASSERT_TRUE(InstallApp());
    ExpectOutcome(Run(c.payload), c.outcome == hostile::Outcome::kCompletes, &c);
  }
}

// payloadOffset aimed into the program itself: the walk reads the program's
// own bytes as chunks. Whatever it makes of them, it must end cleanly.
TEST_F(HostileContainer, APayloadOffsetInsideTheProgramEndsCleanly) {
  hostile::Bytes whole;
  std::string error;
  const hostile::Bytes payload = pack::EncodePayload(hostile::BasePayload());
  ASSERT_TRUE(pack::AttachPayload(harness::RetraxProgram(), payload, &whole, &error)) << error;
  const long field = pack::FindPayloadOffsetField(whole);
  ASSERT_GE(field, 0);
  for (uint32_t offset : {0x40u, (uint32_t)field, (uint32_t)harness::RetraxProgram().size() - 1}) {
    SCOPED_TRACE(offset);
    ASSERT_TRUE(InstallApp());
    pack::WriteU32(&whole[field], offset);
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", whole));
    const harness::RunResult run = harness::RunProgram(sandbox.Path(L"App\\uninstall.exe"), L"/S", Options());
    ExpectOutcome(run, run.exitCode == 0);
  }
}

}  // namespace
