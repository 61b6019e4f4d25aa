// An interactive run whose every text is hostile: the confirmation and the
// closing message (65535 units) are shown as they stand, the two questions
// formatted with their one "%s" and cut to 1023 units; the final page's
// offset lies outside the header, so nothing is opened.
#include "hostile_support.h"

namespace {

class HostileMessages : public hostile::HostileScenario {};

TEST_F(HostileMessages, QuestionsOfHostileTextAreAskedAndAnswered) {
  ASSERT_TRUE(sandbox.InstallFile(L"App\\readonly.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(sandbox.InstallFile(L"App\\shared.dll", 0));
  pack::Payload payload = hostile::BasePayload();
  const std::u16string confirm = u"%n%d%s%x " + std::u16string(2000, u'Q'), done(65535, u'D');
  payload.messages[MSG_CONFIRM] = confirm;
  payload.messages[MSG_DONE] = done;
  payload.messages[MSG_READ_ONLY] = u"%n%d %s %x%%" + std::u16string(1500, u'R');
  payload.messages[MSG_SHARED_LIBRARY] = std::u16string(1010, u'S') + u"%s%n";
  // Removed last first: the read-only file is asked about before the library.
  payload.files = {{u".", u"shared.dll", FileShared}, {u".", u"readonly.txt", 0}};
  payload.header.finalPage = u"https://example.invalid/bye";
  hostile::Bytes bytes = pack::EncodePayload(payload);
  pack::WriteU32(&bytes[12 + 8], 0x7FFFFFF0u);  // the header's finalPageOffset
  program = sandbox.WriteUninstaller(L"App\\uninstall.exe", bytes);
  ASSERT_FALSE(program.empty());

  harness::Process process;
  sandbox.PrepareProcess(&process);
  ASSERT_TRUE(process.Start(program));
  harness::DialogSequence dialogs(process);
  const std::u16string app = harness::U16(sandbox.Path(L"App\\"));
  const hostile::Report readOnly{u"%n%d ", true, u" %x%" + std::u16string(1500, u'R')};
  const hostile::Report shared{std::u16string(1010, u'S'), true, u"%n"};
  // The harness reads up to 2047 units of a box's text.
  const std::pair<std::u16string, int> answers[] = {{confirm.substr(0, 2047), IDOK},
                                                    {readOnly.For(app + u"readonly.txt"), IDYES},
                                                    {shared.For(app + u"shared.dll"), IDYES},
                                                    {done.substr(0, 2047), IDOK}};
  for (const auto& answer : answers) {
    const harness::Dialog dialog = dialogs.Next();
    ASSERT_TRUE(dialog) << "no box for " << harness::Narrow(harness::Wide(answer.first.substr(0, 40)));
    EXPECT_EQ(dialog.Caption(), harness::Wide(hostile::kTitle));
    EXPECT_EQ(dialog.Text(), harness::Wide(answer.first));
    dialog.Press(answer.second);
    EXPECT_TRUE(dialog.WaitClosed());
  }
  EXPECT_TRUE(harness::ExpectNoWindow(process, hostile::kRunLimitMs));
  EXPECT_TRUE(harness::ExitedWith(process.Finish(), 0));
  EXPECT_TRUE(process.WaitForDescendants(hostile::kRunLimitMs)) << "the self-removal copy ends";
  EXPECT_FALSE(sandbox.Exists(L"App\\readonly.txt"));
  EXPECT_FALSE(sandbox.Exists(L"App\\shared.dll"));
  EXPECT_TRUE(MarkersInPlace());
}

}  // namespace
