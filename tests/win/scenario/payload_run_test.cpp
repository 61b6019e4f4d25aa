// retrax.exe reading the payload appended to its own file: a payload that
// reaches its end chunk ends the run with 0, anything cut short or missing
// with -1.
#include <string>
#include <vector>

#include "harness/harness.h"

using harness::Bytes;
using harness::ExitedWith;
using harness::RunProgram;

namespace {

const DWORD kFailed = 0xFFFFFFFFu;  // exit code -1

// A payload with every kind of chunk in it.
Bytes FullPayload() {
  pack::Payload payload;
  payload.header.flags = HEADER_WAIT_FOR_COMMAND;
  payload.header.command = u"notepad.exe";
  payload.header.finalPage = u"https://example.invalid/bye";
  for (int i = 0; i < MSG_COUNT_USED; ++i) payload.messages.push_back(u"message %s");
  payload.files = {{u".", u"app.exe", 0}, {u"#System#", u"shared.dll", FileShared}};
  payload.shortcuts = {{1, u"#Programs#\\Sample App", u"", u"Sample App.lnk"}};
  payload.registry = {{0x80000002u, u"Software\\Sample App"}};
  payload.folderTrees = {u"#LocalAppData#\\Sample App\\*.*"};
  payload.hasExtension = true;
  payload.extensionContent = pack::ExtensionPathContent(u"C:\\Sample App\\hook.dll");
  payload.hasOpaque = true;
  payload.opaque = {1, 2, 3, 4};
  return pack::EncodePayload(payload);
}

// A failed read is reported in a box even in a quiet run; the harness
// answers it so that the run can end.
harness::RunOptions AnsweringBoxes() {
  harness::RunOptions options;
  options.dismissDialogs = true;
  return options;
}

class PayloadRun : public harness::ScenarioTest {
 protected:
  // Writes the program with payload into folder\uninstall.exe and runs it
  // quietly.
  harness::RunResult RunWithPayload(const std::wstring& folder, const Bytes& payload) {
    const std::wstring program = sandbox.WriteUninstaller(folder + L"\\uninstall.exe", payload);
    EXPECT_FALSE(program.empty());
    return RunProgram(program, L"/S", AnsweringBoxes());
  }
};

TEST_F(PayloadRun, PayloadsThatReachTheirEndChunkSucceed) {
  const Bytes smallestComplete = {0x3A, 0x12, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0,  // header chunk
                                  0,    0,    0, 0, 0,  0, 0, 0, 0, 0, 0, 0,  // flags, no strings
                                  0x7F, 0x7F, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0};
  const Bytes endOnly(smallestComplete.end() - 12, smallestComplete.end());
  Bytes withTrailingBytes = FullPayload();
  withTrailingBytes.insert(withTrailingBytes.end(), 64, 0xEE);  // never read

  EXPECT_TRUE(ExitedWith(RunWithPayload(L"smallest", smallestComplete), 0));
  EXPECT_TRUE(ExitedWith(RunWithPayload(L"end-only", endOnly), 0));
  EXPECT_TRUE(ExitedWith(RunWithPayload(L"full", FullPayload()), 0));
  EXPECT_TRUE(ExitedWith(RunWithPayload(L"trailing", withTrailingBytes), 0));
}

TEST_F(PayloadRun, PayloadCutShortFails) {
  const Bytes full = FullPayload();
  // Inside the first chunk header, inside a chunk body, and just before the
  // end chunk.
  for (size_t keep : {size_t(5), full.size() / 2, full.size() - 12}) {
    SCOPED_TRACE(keep);
    const Bytes cut(full.begin(), full.begin() + keep);
    EXPECT_TRUE(ExitedWith(RunWithPayload(L"cut-" + std::to_wstring(keep), cut), kFailed));
  }
}

TEST_F(PayloadRun, ProgramShippedWithoutPayloadFails) {
  // payloadOffset is the file's length: the first chunk header cannot be read.
  ASSERT_TRUE(sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()));
  EXPECT_TRUE(ExitedWith(RunProgram(sandbox.Path(L"retrax.exe"), L"/S", AnsweringBoxes()), kFailed));
}

TEST_F(PayloadRun, PayloadOffsetZeroMeansNoPayloadEvenWithOneAppended) {
  Bytes program = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(program);
  ASSERT_GE(field, 0);
  pack::WriteU32(&program[field], 0);
  const Bytes payload = FullPayload();
  program.insert(program.end(), payload.begin(), payload.end());
  ASSERT_TRUE(sandbox.WriteFile(L"uninstall.exe", program));
  const harness::RunResult run = RunProgram(sandbox.Path(L"uninstall.exe"), L"/S", AnsweringBoxes());
  EXPECT_TRUE(ExitedWith(run, kFailed));
  EXPECT_TRUE(run.dialogs.empty()) << "nothing to report when there is no payload";
}

TEST_F(PayloadRun, PayloadOffsetBeyondTheFileFails) {
  Bytes program = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(program);
  ASSERT_GE(field, 0);
  const Bytes payload = FullPayload();
  pack::WriteU32(&program[field], static_cast<uint32_t>(program.size() + payload.size() + 100));
  program.insert(program.end(), payload.begin(), payload.end());
  ASSERT_TRUE(sandbox.WriteFile(L"uninstall.exe", program));
  EXPECT_TRUE(ExitedWith(RunProgram(sandbox.Path(L"uninstall.exe"), L"/S", AnsweringBoxes()), kFailed));
}

}  // namespace
