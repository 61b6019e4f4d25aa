// retrax.exe reading the payload appended to its own file: a payload that
// reaches its end chunk runs (exit code 0); anything cut short, damaged or
// missing ends the run with -1 before any window but the report, which a
// quiet run shows too.
#include "harness/harness.h"

using harness::Bytes;

namespace {

enum Report { kNoReport, kEmptyReport, kDamageReport };

// A payload with every kind of chunk in it.
pack::Payload FullPayload() {
  pack::Payload payload = harness::StandardPayload();
  payload.header.flags = HEADER_WAIT_FOR_COMMAND;
  payload.header.command = u"no-such-tool.exe";
  payload.header.finalPage = u"https://example.invalid/bye";
  payload.files = {{u".", u"app.exe", 0}, {u"#System#", u"rx-no-such-shared.dll", FileShared}};
  payload.shortcuts = {{1, u"#Programs#\\Rx No Such App", u"", u"Sample App.lnk"}};
  payload.registry = {{harness::kPayloadHklm, u"Software\\Rx No Such App"}};
  payload.folderTrees = {u"logs\\*.*"};
  payload.hasExtension = true;
  payload.extensionContent = pack::ExtensionPathContent(u"C:\\Rx No Such App\\hook.dll");
  payload.hasOpaque = true;
  payload.opaque = {1, 2, 3, 4};
  return payload;
}

Bytes WithPayloadOffset(uint32_t offset, const Bytes& appended) {
  Bytes program = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(program);
  if (field >= 0) pack::WriteU32(&program[field], offset);
  program.insert(program.end(), appended.begin(), appended.end());
  return program;
}

class PayloadRun : public harness::ScenarioTest {};

TEST_F(PayloadRun, WhatReachesItsEndChunkRunsAndAnythingElseIsReported) {
  const Bytes& stub = harness::RetraxProgram();
  ASSERT_GE(pack::FindPayloadOffsetField(stub), 0);
  const Bytes full = pack::EncodePayload(FullPayload());
  Bytes trailing = full;
  trailing.insert(trailing.end(), 64, 0xEE);  // never read
  Bytes endOnly;                              // no header chunk: no command, no final page
  pack::AppendEnd(&endOnly);
  const Bytes cut(full.begin(), full.end() - endOnly.size() - 2);  // inside the last chunk, after the messages
  // A chunk stored in a form this program cannot load is damage like any
  // other: reported with message 8, not with the message of its status
  // value, which would be the confirmation question.
  Bytes unloadable;
  pack::AppendChunk(&unloadable, CHUNK_MESSAGES, pack::EncodeMessages({harness::StandardMessages()}));
  pack::AppendChunk(&unloadable, CHUNK_HEADER, pack::EncodeHeader(pack::HeaderRecord()), CHUNK_FLAG_UNLOADABLE);
  pack::AppendEnd(&unloadable);

  const uint32_t length = static_cast<uint32_t>(stub.size());
  const struct {
    const wchar_t* name;
    Bytes program;
    DWORD exitCode;
    Report report;
  } cases[] = {
      {L"full", WithPayloadOffset(length, trailing), 0, kNoReport},
      {L"end-only", WithPayloadOffset(length, endOnly), 0, kNoReport},
      // The messages are not read yet: the report has neither caption nor text.
      {L"none", stub, 0xFFFFFFFFu, kEmptyReport},
      {L"offset-zero", WithPayloadOffset(0, full), 0xFFFFFFFFu, kNoReport},
      {L"offset-beyond", WithPayloadOffset(length + full.size() + 100, full), 0xFFFFFFFFu, kEmptyReport},
      {L"cut", WithPayloadOffset(length, cut), 0xFFFFFFFFu, kDamageReport},
      {L"unloadable", WithPayloadOffset(length, unloadable), 0xFFFFFFFFu, kDamageReport},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(harness::Narrow(c.name));
    const std::wstring relative = std::wstring(c.name) + L"\\uninstall.exe";
    ASSERT_TRUE(sandbox.WriteFile(relative, c.program));
    harness::RunOptions options;
    options.dismissDialogs = true;
    options.sandbox = &sandbox;
    const harness::RunResult run = harness::RunProgram(sandbox.Path(relative), L"/S", options);
    EXPECT_TRUE(harness::ExitedWith(run, c.exitCode));
    ASSERT_EQ(run.dialogs.size(), c.report == kNoReport ? 0u : 1u);
    if (c.report == kEmptyReport) EXPECT_EQ(run.dialogs[0].caption + run.dialogs[0].text, L"");
    if (c.report == kDamageReport) {
      EXPECT_EQ(run.dialogs[0].caption, L"Sample App Uninstall");
      EXPECT_EQ(run.dialogs[0].text,
                L"The uninstall data of " + sandbox.Path(relative) + L" cannot be read. The file may be damaged.");
    }
  }
}

}  // namespace
