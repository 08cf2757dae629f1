// Placeholder substitution: "&name;" in a text is filled from a name=value list.
#pragma once

#include <string>

#include "base/Strings.h"

// Loads the template, fills every placeholder from values, saves to outputPath.
// Raises "Cannot open file %s" or "Cannot create file %s" / "Unable to write to %s".
void ApplyTemplate(const std::string& templatePath, const std::string& outputPath,
                   const LineList& values);
// Fills every placeholder; names match values without regard to case, unknown
// names leave nothing behind. Inserted values are never scanned again, so a value
// holding a placeholder of its own is inserted as it stands. A result beyond
// MaxTemplateOutput raises "Template %s expands beyond 16 MB" with templateName.
void ReplaceAllPlaceholders(LineList& lines, const LineList& values,
                            const std::string& templateName = "");
// The same on a joined text.
std::string ReplaceAllPlaceholdersIn(const std::string& text, const LineList& values,
                                     const std::string& templateName = "");

constexpr size_t MaxTemplateOutput = 16u << 20;
// Replaces the first "&name;" (letter case respected) by value; leaves the lines
// untouched when there is none.
void ReplacePlaceholder(LineList& lines, const std::string& name, const std::string& value);
