// Resource ids shared by retrax.rc and the code that loads the resources.
#pragma once

#define IDI_MAIN 800

// Question dialog: Yes / Yes to all / No / No to all about one file.
#define IDD_QUESTION 109
#define IDC_QUESTION_TEXT 1000
#define IDC_YES_ALL 1001
#define IDC_NO_ALL 1002
// The Yes and No buttons are IDYES (6) and IDNO (7).

// Progress dialog: one status line above the bar.
#define IDD_PROGRESS 110
#define IDC_PROGRESS_TEXT 1000
#define IDC_PROGRESS_BAR 1009
