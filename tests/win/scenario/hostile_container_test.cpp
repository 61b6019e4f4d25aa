// Damaged and stretched payloads (tests/hostile): each one run silently
// ends with 0, or with -1 after the read-error report, and loses no marker.
#include "removal_scenario.h"

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

// payloadOffset where the build put it, at the program's length, finds the
// payload. Aimed past the file's end it finds none: a report without
// caption or text (the messages are not read yet), even in a quiet run but
// not under /N. Aimed into the program itself, it reads the program's own
// bytes as chunks; whatever the walk makes of them, it ends cleanly.
TEST_F(HostileContainer, APayloadOffsetFindsThePayloadOrEndsCleanly) {
  const harness::Bytes& stub = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(stub);  // fails on a second marker too
  ASSERT_GE(field, 0);
  const uint32_t length = (uint32_t)stub.size();
  EXPECT_EQ(pack::ReadU32(&stub[field]), length) << "the build wrote the file's length";
  hostile::Bytes whole;
  std::string error;
  ASSERT_TRUE(pack::AttachPayload(stub, pack::EncodePayload(hostile::BasePayload()), &whole, &error)) << error;
  const uint32_t past = (uint32_t)whole.size() + 100;
  const hostile::Case untitled{"", {}, hostile::Outcome::kDamagedUntitled, "", {u"", false}};
  const std::pair<uint32_t, const wchar_t*> runs[] = {{length, L"/S"}, {past, L"/S"}, {past, L"/N /S"},
                                                      {0x40, L"/S"},   {(uint32_t)field, L"/S"}, {length - 1, L"/S"}};
  for (const auto& r : runs) {
    SCOPED_TRACE(harness::Narrow(r.second) + " at " + std::to_string(r.first));
    ASSERT_TRUE(InstallApp());
    pack::WriteU32(&whole[field], r.first);
    ASSERT_TRUE(sandbox.WriteFile(L"App\\uninstall.exe", whole));
    const harness::RunResult run = harness::RunProgram(sandbox.Path(L"App\\uninstall.exe"), r.second, Options());
    if (r.first == past) ExpectOutcome(run, false, &untitled, r.second[1] == L'N' ? 0 : 1);
    if (r.first != past) ExpectOutcome(run, r.first == length || run.exitCode == 0);
  }
}

}  // namespace
