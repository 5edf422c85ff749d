// Starting the program under test as a user would: in a folder of its own, with arguments,
// through an optional launcher (Wine for the Windows builds).
#pragma once

#include <string>
#include <vector>

// Which build is under test: "native", "win64" or "win32" (CODESHIFT_FLAVOR).
std::string Flavor();

// Runs the program with `arguments` in `folder`; returns its exit code, or -1 when it could not
// be started or did not exit normally. Requests to open a document are recorded in
// folder/shell.trace instead of starting a viewer (native build).
int RunProgram(const std::vector<std::string>& arguments, const std::string& folder);
