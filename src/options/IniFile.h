// A small INI reader and writer: sections and keys match without regard to case,
// writes update one key in place, and every other line of the file survives.
#pragma once

#include <string>
#include <vector>

#include "base/Strings.h"

class IniFile {
  public:
    // Reads the file when it exists; a missing file reads as empty.
    explicit IniFile(std::string path);
    // An INI text that will be written to path.
    IniFile(std::string path, const std::string& text);

    // The value of [section] key, without surrounding blanks and cut to 2047
    // characters; def when the section or key is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Sets [section] key=value in memory: an existing key keeps its place, a new
    // key goes after the last entry of its section, a new section at the end.
    // A value that holds a line break or a NUL cannot be one line: it goes empty.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    // Removes [section] key when it is there.
    void DeleteKey(const std::string& section, const std::string& key);
    // Writes the file safely; raises "Unable to write to %s".
    void UpdateFile();

    // The file's text as UpdateFile writes it.
    std::string Text() const;

  private:
    // A line of the file as it stands there, its own line end included, so that
    // every line the program does not write goes back byte for byte.
    struct IniLine {
        std::string text;
        std::string eol;
    };
    void Parse(const std::string& text);
    long FindSection(const std::string& section) const;
    long FindKey(long sectionLine, const std::string& key) const;
    void Insert(size_t at, std::string text);

    std::string path_;
    std::vector<IniLine> lines_;
    std::string eol_ = "\n";  // the file's own line end, for the lines added
};

constexpr size_t MaxIniValue = 2047;
