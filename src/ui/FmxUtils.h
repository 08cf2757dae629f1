// Opening a file, web address or mailto address with the desktop's default action.
#pragma once

#include <functional>
#include <string>

// Returns the shell's result code (nonzero when the desktop took the request).
int ShellOpen(const std::string& target, const std::string& params, const std::string& dir,
              int showCmd);

// Tests set this to see what would be opened.
extern std::function<void(const std::string&)> ShellOpenHook;
