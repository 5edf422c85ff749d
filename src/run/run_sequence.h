#pragma once

// One whole run over runState: parse, then the readme or the conversion, then the log record.
// Returns the exit code.
int RunOnce();

// Asks the platform to open readme.html from the executable's own folder.
void OpenReadme();
