// The process-wide host hooks that stand in for the desktop dialogs: the
// "UNEXPECTED ERROR" box of the helper module and the About box. The hooks
// are set with SetUnexpectedErrorHandler / SetAboutHandler (korvane/errors.hpp)
// from any thread; the functions here call the current hook on the calling
// thread, outside any lock, so a hook may replace the hooks itself.
#pragma once

#include <string>

#include "korvane/errors.hpp"

namespace korvane::diagnostics {

// Hands `report` to the unexpected-error hook and returns its answer. Without
// a hook the report is written to standard error and the answer is Ignore.
ErrorDecision AskUnexpectedErrorHandler(const std::string& report);

// Hands the component's title and version to the About hook. Without a hook
// they are written to standard error as "title version".
void ShowAbout(const std::string& title, const std::string& version);

}  // namespace korvane::diagnostics
