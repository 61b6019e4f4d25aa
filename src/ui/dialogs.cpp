// The question dialog (109) and the progress dialog (110). Their templates
// carry no text: captions and labels come from the payload's messages when
// a dialog opens.
#include "driver/run_state.h"
#include "platform/system_calls.h"
#include "resources/resource.h"
#include "ui/messages.h"
#include "ui/ui.h"

namespace {
const int DIALOG_RESULT_SLOT = 0;  // DWL_MSGRESULT
}

// A classic template names no font weight, so the weight is the platform's
// choice; the controls are given the normal weight, so that the dialogs
// look the same on every system.
void ApplyDialogFont(HWND dialog) {
  if (run.dialogFont == nullptr) {
    HFONT font = (HFONT)sys.SendMessageW(dialog, WM_GETFONT, 0, 0);
    LOGFONTW description;
    if (font != nullptr && sys.GetObjectW(font, sizeof description, &description) != 0) {
      description.lfWeight = FW_NORMAL;
      run.dialogFont = sys.CreateFontIndirectW(&description);
    }
    if (run.dialogFont == nullptr) return;
  }
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    sys.SendMessageW(child, WM_SETFONT, (WPARAM)run.dialogFont, 0);
}

INT_PTR CALLBACK QuestionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      ApplyDialogFont(dialog);
      sys.SetWindowTextW(dialog, GetMessageText(0, MSG_TITLE));
      sys.SetDlgItemTextW(dialog, IDC_QUESTION_TEXT, (const wchar_t*)lParam);
      sys.SetDlgItemTextW(dialog, IDYES, GetMessageText(0, MSG_BUTTON_YES));
      sys.SetDlgItemTextW(dialog, IDNO, GetMessageText(0, MSG_BUTTON_NO));
      sys.SetDlgItemTextW(dialog, IDC_YES_ALL, GetMessageText(0, MSG_BUTTON_YES_ALL));
      sys.SetDlgItemTextW(dialog, IDC_NO_ALL, GetMessageText(0, MSG_BUTTON_NO_ALL));
      return TRUE;  // the focus goes to the first tab stop, the default button
    case WM_COMMAND:
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

INT_PTR ShowQuestionDialog(const wchar_t* question) {
  if (run.unattended) return -1;
  return sys.DialogBoxParamW(run.instance, MAKEINTRESOURCEW(IDD_QUESTION), run.mainWindow, QuestionDialogProc,
                             (LPARAM)question);
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ApplyDialogFont(dialog);
      sys.SetWindowTextW(dialog, GetMessageText(0, MSG_TITLE));
      return TRUE;
    case WM_COMMAND:
      sys.SetWindowLongW(dialog, DIALOG_RESULT_SLOT, 1);
      return TRUE;
    case WM_DESTROY:
      // Also reached when the main window, its owner, is destroyed from
      // outside: the bar and the dialog must not be addressed after that.
      if (run.progressDialog == dialog) {
        run.progressDialog = nullptr;
        run.progressBar = nullptr;
      }
      return FALSE;
  }
  return FALSE;
}
