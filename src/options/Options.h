// The user's options, kept in config.dat in the program folder, and where the
// program folder and the installation's read-only files are.
#pragma once

#include <initializer_list>
#include <string_view>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Strings.h"

// The folder holding config.dat, MyBooks/, Templates/ and TEMP/, with a trailing
// '/'. Installed, it is the user's own folder (UserDataFolder); portable (a file
// named "portable" beside the program file), the program file's folder.
extern std::string ProgramFolder;
// The installation's read-only files (the templates and the guide book):
// share/tavisto/ beside the program's bin/ folder. Empty when portable.
extern std::string DataFolder;
extern bool PortableMode;
// File name of the book that was open last, inside MyBooks/.
extern std::string RecentBook;
// The guide, a book named for its title, opens until another book is read.
constexpr const char* DefaultRecentBook = "A Guide to Tavisto.tvst";
// The guide's Russian edition.
constexpr const char* RussianGuideBook = "Руководство по Tavisto.tvst";
// The guide in the program's language: the recent book of a first start, and
// the book About's link opens. An edition the installation lacks gives way to
// the English one.
extern std::string GuideBook;
// Auto-scroll interval in milliseconds, kept within MinScrollSpeed to MaxScrollSpeed.
extern int32_t ScrollSpeed;
constexpr int32_t MinScrollSpeed = 2;
constexpr int32_t MaxScrollSpeed = 200;
// The five style options as name=value lines, in their fixed order.
extern LineList OptionList;

// Finds the program folder, sets it up (SetUpProgramFolder) and loads the options.
void InitOptionStorage();
// Sets ProgramFolder, DataFolder and PortableMode from the program file's place.
void LocateProgramFolder();
// Installed: creates the user's folder and its three subfolders when missing,
// copies the templates missing from Templates/ and renews those an earlier
// version shipped and the reader never changed (a user's own edited copies are
// never replaced) and, at the first start (no config.dat yet), the guide book
// into MyBooks/. Portable: does nothing. Raises "Cannot create folder %s".
void SetUpProgramFolder();
// Replaces the file at path with the one at shipped when it is, byte for byte,
// one of the files whose content hashes (64-bit FNV-1a) are given: a template
// an earlier version shipped, never edited. True when it was replaced.
bool RenewTemplate(const std::string& shipped, const std::string& path,
                   std::initializer_list<uint64_t> earlier);
// The folder of the running program's file, with a trailing '/'.
std::string ExecutableFolder();
// ${XDG_DATA_HOME:-$HOME/.local/share}/tavisto/ from the two variables' values
// (null when unset); a relative XDG_DATA_HOME is ignored, as the XDG base
// directory rules say. Empty when no home is known.
std::string UserDataFolder(const char* xdgDataHome, const char* home);
// The files the program reads from Templates/.
extern const char* const TemplateFiles[3];

// The books opened last, newest first, at most MaxRecentBooks; config.dat keeps
// them as Recent1 to Recent10.
extern std::vector<std::string> RecentBooks;
constexpr size_t MaxRecentBooks = 10;
// Puts a book at the head of RecentBooks.
void NoteRecentBook(const std::string& fileName);
// Removes a book (deleted) from RecentBooks.
void ForgetRecentBook(const std::string& fileName);

// The main window: WindowModeFull or WindowModeWindow, and the window's place
// in window mode as "x,y,width,height" (empty until it has one).
extern std::string WindowMode;
extern std::string WindowRect;
constexpr const char* WindowModeFull = "FullScreen";
constexpr const char* WindowModeWindow = "Window";

void LoadOptions();
// Raises "Unable to write to %s" (full path of config.dat) when the file cannot be written.
void SaveOptions();
void FreeOptionList();

// Clears what earlier runs left in the program folder: temporaries of writers
// that are gone, and the texts of TEMP/; undoes a position save cut short.
// Only the reader holding the library's lock calls it, at start-up. A TEMP that is no real folder
// (a link) is replaced by one; what to tell the reader then is returned (else empty).
std::string TidyProgramFolder();

std::string BooksFolder();      // ProgramFolder + "MyBooks/"
std::string TemplatesFolder();  // ProgramFolder + "Templates/"
std::string TempFolder();       // ProgramFolder + "TEMP/"
// The journal of position saves written in place (see HeaderJournal).
std::string HeaderJournalPath();

// Parses a ScrollSpeed text: decimal with sign, or hexadecimal after "$", "0x" or
// "x"; anything else gives 20.
int32_t ParseScrollSpeed(const std::string& text);

// The option names in their fixed order, and their defaults: the face, size and
// colours of the text, then how pages are set (the column's width in
// characters, the line spacing, "justify" or "left", a first-line indent ("1")
// or a space of par_space lines between paragraphs ("0"), hyphenation, and
// whether a click at the page's left or right edge turns a screen back or on).
constexpr size_t StyleKeyCount = 12;
// Reading aloud: the voice's name (empty: the first of the book's language) and
// the rate, -10 to 10; kept in [Speech] once either is set.
extern std::string SpeechVoice;
extern int32_t SpeechRate;
extern const char* const StyleKeys[StyleKeyCount];
extern const char* const StyleDefaults[StyleKeyCount];
constexpr int32_t MinTextWidth = 45, MaxTextWidth = 90;
// A decimal written with digits and at most one point ("1.45"), whatever the locale.
bool ReadDecimal(const std::string& text, double& value);
