// retrax.exe with the test extension library in its payload: the entry
// points it calls in a whole run, and the callback table as the program
// itself (built without RTTI, size-optimised) hands it over.
#include <fstream>
#include <string>
#include <vector>

#include "harness/harness.h"

using harness::Bytes;
using harness::ExitedWith;
using harness::RunProgram;

namespace {

std::vector<std::string> Lines(const std::wstring& path) {
  std::vector<std::string> lines;
  std::ifstream in(std::string(path.begin(), path.end()));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ExtensionRun : public harness::ScenarioTest {};

TEST_F(ExtensionRun, AnImageIsCalledAroundTheRunAndLeavesNoFileBehind) {
  Bytes image;
  ASSERT_TRUE(harness::LoadEmbeddedFile(L"RETRAX_TEST_EXTENSION_DLL", &image));
  pack::Payload payload;
  payload.messages = {u"Title", u"Confirm", u"All gone"};
  payload.hasExtension = true;
  payload.extensionContent = image;
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", pack::EncodePayload(payload));
  ASSERT_FALSE(program.empty());
  ASSERT_TRUE(sandbox.MakeFolder(L"temp"));
  ASSERT_TRUE(sandbox.WriteFile(L"temp\\tmp1.tmp", {'x'}));

  // The child inherits them; the test's own process is left as it was.
  const wchar_t* names[] = {L"TMP", L"TEMP", L"RXTEST_EXT_LOG", L"RXTEST_EXT_EXPAND", L"RXTEST_EXT_MESSAGE"};
  const std::wstring values[] = {sandbox.Path(L"temp"), sandbox.Path(L"temp"), sandbox.Path(L"calls.log"),
                                 L"#InstallDir#\\data", L"0,2"};
  std::wstring saved[5];
  for (int i = 0; i < 5; ++i) {
    wchar_t value[1024] = L"";
    GetEnvironmentVariableW(names[i], value, 1024);
    saved[i] = value;
    SetEnvironmentVariableW(names[i], values[i].c_str());
  }
  EXPECT_TRUE(ExitedWith(RunProgram(program, L"/S"), 0));
  for (int i = 0; i < 5; ++i) SetEnvironmentVariableW(names[i], saved[i].empty() ? nullptr : saved[i].c_str());

  const std::string app = harness::Narrow(sandbox.Path(L"App"));
  EXPECT_EQ(Lines(sandbox.Path(L"calls.log")),
            (std::vector<std::string>{"51 null", "expand " + std::to_string(app.size() + 5) + " " + app + "\\data",
                                      "message All gone", "reserved", "53 null", "56 null", "52 null"}));
  EXPECT_TRUE(sandbox.Exists(L"temp\\tmp1.tmp"));
  EXPECT_FALSE(sandbox.Exists(L"temp\\tmp2.tmp")) << "the image went with the unload";
}

}  // namespace
