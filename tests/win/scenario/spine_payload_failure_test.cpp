// An uninstaller whose payload cannot be read: what the user is told, and
// that the run then ends with -1 before anything else happens.
#include <string>

#include "harness/harness.h"

using harness::Bytes;
using harness::Dialog;
using harness::ExitedWith;
using harness::Process;
using harness::WaitForDialog;

namespace {

const DWORD kFailed = 0xFFFFFFFFu;  // exit code -1

class PayloadFailure : public harness::ScenarioTest {
 protected:
  // Starts program; expects one report box, checks it has OK alone and no
  // owner (no main window exists yet), answers it and returns its text.
  std::wstring ReportOf(const std::wstring& program, const std::wstring& arguments, std::wstring* caption) {
    Process process;
    EXPECT_TRUE(process.Start(program, arguments));
    const Dialog report = WaitForDialog(process);
    if (!report) {
      ADD_FAILURE() << "no report";
      return L"(none)";
    }
    *caption = report.Caption();
    const std::wstring text = report.Text();
    EXPECT_EQ(report.Buttons().size(), 1u);
    EXPECT_TRUE(report.HasButton(IDOK));
    EXPECT_EQ(report.Owner(), nullptr);
    report.Press(IDOK);
    EXPECT_TRUE(ExitedWith(process.Finish(), kFailed));
    return text;
  }

  // The standard payload cut inside the file list, after the messages.
  Bytes TruncatedPayload() {
    pack::Payload payload = harness::StandardPayload();
    payload.files = {{u".", u"app.exe", 0}, {u".", u"readme.txt", 0}};
    const Bytes whole = pack::EncodePayload(payload);
    pack::Payload withoutFiles = harness::StandardPayload();
    const size_t filesStart = pack::EncodePayload(withoutFiles).size() - 12;  // where the end chunk was
    return Bytes(whole.begin(), whole.begin() + filesStart + 20);
  }
};

TEST_F(PayloadFailure, AProgramWithoutPayloadShowsAnEmptyBox) {
  ASSERT_TRUE(sandbox.WriteFile(L"retrax.exe", harness::RetraxProgram()));
  std::wstring caption = L"(unread)";
  EXPECT_EQ(ReportOf(sandbox.Path(L"retrax.exe"), L"", &caption), L"");
  EXPECT_EQ(caption, L"");
}

TEST_F(PayloadFailure, PayloadOffsetZeroEndsWithoutABox) {
  Bytes program = harness::RetraxProgram();
  const long field = pack::FindPayloadOffsetField(program);
  ASSERT_GE(field, 0);
  pack::WriteU32(&program[field], 0);
  ASSERT_TRUE(sandbox.WriteFile(L"uninstall.exe", program));
  Process process;
  ASSERT_TRUE(process.Start(sandbox.Path(L"uninstall.exe")));
  EXPECT_TRUE(harness::ExpectNoWindow(process));
  EXPECT_TRUE(ExitedWith(process.Finish(), kFailed));
}

TEST_F(PayloadFailure, ATruncatedPayloadIsReportedWithTheProgramsPath) {
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", TruncatedPayload());
  ASSERT_FALSE(program.empty());
  std::wstring caption;
  EXPECT_EQ(ReportOf(program, L"", &caption),
            L"The uninstall data of " + program + L" cannot be read. The file may be damaged.");
  EXPECT_EQ(caption, L"Sample App Uninstall") << "the messages came before the damage";
}

// A chunk stored in a form this program cannot load is damage like any
// other: reported with message 8, not with the message of its status
// value, which would be the confirmation question.
TEST_F(PayloadFailure, AnUnloadableChunkIsReportedAsDamage) {
  Bytes payload;
  pack::AppendChunk(&payload, CHUNK_MESSAGES, pack::EncodeMessages({harness::StandardMessages()}));
  pack::AppendChunk(&payload, CHUNK_HEADER, pack::EncodeHeader(pack::HeaderRecord()), CHUNK_FLAG_UNLOADABLE);
  pack::AppendEnd(&payload);
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", payload);
  ASSERT_FALSE(program.empty());
  std::wstring caption;
  EXPECT_EQ(ReportOf(program, L"", &caption),
            L"The uninstall data of " + program + L" cannot be read. The file may be damaged.");
}

TEST_F(PayloadFailure, TheReportIsShownInQuietRunsToo) {
  const std::wstring program = sandbox.WriteUninstaller(L"App\\uninstall.exe", TruncatedPayload());
  ASSERT_FALSE(program.empty());
  for (const wchar_t* quiet : {L"/S", L"/Q"}) {
    SCOPED_TRACE(harness::Narrow(quiet));
    std::wstring caption;
    EXPECT_EQ(ReportOf(program, quiet, &caption),
              L"The uninstall data of " + program + L" cannot be read. The file may be damaged.");
  }
}

}  // namespace
