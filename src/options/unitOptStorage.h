// The user's options, kept in config.dat beside the program, and the folder the
// program runs from.
#pragma once

#include <cstdint>
#include <string>

#include "../core/unitStrings.h"

// Folder of the program file, with a trailing '/'.
extern std::string ProgramFolder;
// File name of the book that was open last, inside MyBooks/.
extern std::string RecentBook;
// The guide, a book named for its title, opens until another book is read.
constexpr const char* DefaultRecentBook = "A Guide to Tavisto.tvst";
// Auto-scroll interval in milliseconds, kept within MinScrollSpeed to MaxScrollSpeed.
extern int32_t ScrollSpeed;
constexpr int32_t MinScrollSpeed = 2;
constexpr int32_t MaxScrollSpeed = 200;
// The five style options as name=value lines, in their fixed order.
extern TLines OptionList;

// Sets ProgramFolder from the program file's real path and loads the options.
void InitOptionStorage();
// The folder of the running program's file, with a trailing '/'.
std::string ExecutableFolder();

void LoadOptions();
// Raises "Unable to write to %s" (full path of config.dat) when the file cannot be written.
void SaveOptions();
void FreeOptionList();

// Clears what earlier runs left in the program folder: temporaries of writers
// that are gone, and the texts of TEMP/. Only the reader holding the library's
// lock calls it, at start-up.
void TidyProgramFolder();

std::string BooksFolder();      // ProgramFolder + "MyBooks/"
std::string TemplatesFolder();  // ProgramFolder + "Templates/"
std::string TempFolder();       // ProgramFolder + "TEMP/"

// Parses a ScrollSpeed text: decimal with sign, or hexadecimal after "$", "0x" or
// "x"; anything else gives 20.
int32_t ParseScrollSpeed(const std::string& text);

// The option names in their fixed order, and their defaults.
extern const char* const StyleKeys[5];
extern const char* const StyleDefaults[5];
