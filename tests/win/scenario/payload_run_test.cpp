// retrax.exe reading the payload appended to its own file, as found through
// the payloadOffset field the build wrote (damaged payloads: the hostile
// scenarios). A quiet run shows the report of one it cannot read too.
#include "harness/harness.h"

using harness::Bytes;

namespace {

Bytes WithPayloadOffset(uint32_t offset, const Bytes& appended) {
  Bytes program = harness::RetraxProgram();
  pack::WriteU32(&program[pack::FindPayloadOffsetField(program)], offset);
  program.insert(program.end(), appended.begin(), appended.end());
  return program;
}

class PayloadRun : public harness::ScenarioTest {};

TEST_F(PayloadRun, OnlyAPayloadFoundAtTheOffsetRuns) {
  const Bytes& stub = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(stub);  // fails on a second marker too
  ASSERT_GE(field, 0);
  EXPECT_EQ(stub.size(), pack::ReadU32(&stub[field])) << "the build wrote the file's length";
  const uint32_t length = static_cast<uint32_t>(stub.size());
  Bytes endOnly;  // no header, no messages
  pack::AppendEnd(&endOnly);
  // The report of a payload not there comes before its messages: empty.
  const struct {
    const wchar_t* name;
    Bytes program;
    DWORD exitCode;
    size_t reports;
  } cases[] = {{L"end-only", WithPayloadOffset(length, endOnly), 0, 0},
               {L"none", stub, 0xFFFFFFFFu, 1},
               {L"offset-zero", WithPayloadOffset(0, endOnly), 0xFFFFFFFFu, 0},
               {L"offset-beyond", WithPayloadOffset(length + 100, endOnly), 0xFFFFFFFFu, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(harness::Narrow(c.name));
    const std::wstring relative = std::wstring(c.name) + L"\\uninstall.exe";
    ASSERT_TRUE(sandbox.WriteFile(relative, c.program));
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    const harness::RunResult run = harness::RunProgram(sandbox.Path(relative), L"/S", options);
    EXPECT_TRUE(harness::ExitedWith(run, c.exitCode));
    ASSERT_EQ(run.dialogs.size(), c.reports);
    if (c.reports) EXPECT_EQ(run.dialogs[0].caption + run.dialogs[0].text, L"");
  }
}

}  // namespace
