// retrax.exe finding the payload appended to its own file through the
// payloadOffset field the build wrote (damaged payloads: the hostile
// scenarios). A file cut short before its payload gets the report, even
// in a quiet run (not under /N); it comes before the messages are read, so
// it is empty.
#include "harness/harness.h"

namespace {

class PayloadRun : public harness::ScenarioTest {};

TEST_F(PayloadRun, OnlyAPayloadFoundAtTheOffsetRuns) {
  harness::Bytes program = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(program);  // fails on a second marker too
  ASSERT_GE(field, 0);
  const uint32_t length = static_cast<uint32_t>(program.size());
  EXPECT_EQ(length, pack::ReadU32(&program[field])) << "the build wrote the file's length";
  pack::AppendEnd(&program);  // an empty payload
  harness::RunOptions options;
  options.dismissDialogs = true;
  options.sandbox = &sandbox;
  // /N shows no report, not even this one.
  for (const wchar_t* switches : {L"/S", L"/N /S"}) {
    for (uint32_t offset : {length, length + 100}) {
      pack::WriteU32(&program[field], offset);
      ASSERT_TRUE(sandbox.WriteFile(L"uninstall.exe", program));
      const harness::RunResult run = harness::RunProgram(sandbox.Path(L"uninstall.exe"), switches, options);
      EXPECT_TRUE(harness::ExitedWith(run, offset == length ? 0 : 0xFFFFFFFFu));
      ASSERT_EQ(run.dialogs.size(), offset == length || switches[1] == L'N' ? 0u : 1u);
      if (run.dialogs.size() == 1) EXPECT_EQ(run.dialogs[0].caption + run.dialogs[0].text, L"");
    }
  }
}

}  // namespace
