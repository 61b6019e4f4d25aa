// retrax.exe finding the payload appended to its own file through the
// payloadOffset field the build wrote (damaged payloads: the hostile
// scenarios). A quiet run shows the report of a missing one too; it comes
// before the messages are read, so it is empty.
#include "harness/harness.h"

namespace {

class PayloadRun : public harness::ScenarioTest {};

TEST_F(PayloadRun, OnlyAPayloadFoundAtTheOffsetRuns) {
  const harness::Bytes& stub = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(stub);  // fails on a second marker too
  ASSERT_GE(field, 0);
  const uint32_t length = static_cast<uint32_t>(stub.size());
  EXPECT_EQ(length, pack::ReadU32(&stub[field])) << "the build wrote the file's length";
  const struct {
    uint32_t offset;
    bool appended;  // an end chunk: an empty payload
    DWORD exitCode;
    size_t reports;
  } cases[] = {{length, true, 0, 0},
               {length, false, 0xFFFFFFFFu, 1},
               {0, true, 0xFFFFFFFFu, 0},
               {length + 100, true, 0xFFFFFFFFu, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    harness::Bytes program = stub;
    pack::WriteU32(&program[field], c.offset);
    if (c.appended) pack::AppendEnd(&program);
    ASSERT_TRUE(sandbox.WriteFile(L"uninstall.exe", program));
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    const harness::RunResult run = harness::RunProgram(sandbox.Path(L"uninstall.exe"), L"/S", options);
    EXPECT_TRUE(harness::ExitedWith(run, c.exitCode));
    ASSERT_EQ(run.dialogs.size(), c.reports);
    if (c.reports) EXPECT_EQ(run.dialogs[0].caption + run.dialogs[0].text, L"");
  }
}

}  // namespace
