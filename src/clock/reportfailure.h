#pragma once
// The failure report of the dialogs that talk to the vendor: after a vendor operation
// fails, a stop-icon box names the operation. The text comes from one template with a
// single insertion point, "%s", which receives the operation's title.
#include <string>

// The failure message template (CP932).
const std::string &FailureMessageTemplate();

// The template with `title` (CP932) in place of its insertion point. The title is
// inserted as it is: a '%' in it is not taken as another insertion point.
std::string FailureMessage(const std::string &title);

// Returns `success` unchanged. When it is false, first shows FailureMessage(title) in a
// box with the stop icon and an OK button; when it is true, shows nothing.
bool ReportFailure(bool success, const std::string &title);
