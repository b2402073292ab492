#pragma once
// The failure report of the dialogs that talk to the vendor: after a vendor operation
// fails, a stop-icon box names the operation (FailureMessage, platform/messages.h).
#include "platform/messages.h"

#include <string>

// Returns `success` unchanged. When it is false, first shows FailureMessage(title) in a
// box with the stop icon and an OK button; when it is true, shows nothing.
bool ReportFailure(bool success, const std::string &title);
