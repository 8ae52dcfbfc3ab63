#pragma once
// The three commands of the main window's Help menu. Each shows the one help window (creating it
// when there is none, otherwise bringing it to the front with its page and history), sets its
// caption and lets the browser open the command's page from the help folder. Nothing is
// reported: a missing page shows the browser's own notice.
#include <QString>

namespace quenta {

class frmHelp;

void About_Click(const QString& helpFolder);     // "About", about.htm
void UserGuide_Click(const QString& helpFolder); // "User Guide", user_guide.htm
void GetPaid_Click(const QString& helpFolder);   // "Get Paid", ap_agreement.htm

// The help window now open, or nullptr when there is none.
frmHelp* currentHelpWindow();

} // namespace quenta
