// Program start: the option storage, the windows in their fixed order, the splash.
#pragma once

#include <string>
#include <vector>

class MainWindow;

// Creates the reader's window and its dialogs in the fixed order (the splash
// last), and returns it.
MainWindow* CreateForms(int splashTickMs = 1000);
// The window CreateForms made, until DestroyForms; null before and after.
MainWindow* ReaderWindow();
// Runs the splash's wait and opens the recent book, then shows the main window.
// Given files (the command line), skips the splash and opens them instead; the
// recent book opens when the first of them cannot be.
void StartReader(const std::vector<std::string>& files = {});

// A file named on the command line (a path, or a file:// address) as an
// absolute path in the file system's bytes (a name need not be UTF-8); empty
// for an option.
std::string AbsoluteArgumentPath(const char* argument);
// Destroys the windows in reverse order.
void DestroyForms();
// The session ends (SIGTERM, SIGINT, SIGHUP): every open dialog is answered with
// Cancel, the main window closes as Exit closes it (saving, with a failure said
// on standard error: nobody may be there to answer a box), every event loop ends.
void QuitReader();
