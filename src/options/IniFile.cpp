#include "options/IniFile.h"

#include "base/Errors.h"
#include "base/Files.h"

static std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// The name of a section header line, or false when the line is none.
static bool SectionName(std::string_view line, std::string_view& name) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

static bool KeyName(std::string_view line, std::string_view& key) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(t.substr(0, eq));
    return true;
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    if (!FileExists(path_)) return;
    std::string text;
    try {
        text = ReadWholeFile(path_);
    } catch (const EFileError&) {
        return;  // an unreadable file reads as empty, so every value takes its default
    }
    Parse(text);
}

IniFile::IniFile(std::string path, const std::string& text) : path_(std::move(path)) {
    Parse(text);
}

void IniFile::Parse(const std::string& text) {
    // Read as bytes, whole: a NUL or any other byte is only part of its line.
    size_t p = 0;
    bool eolSeen = false;
    while (p < text.size()) {
        size_t q = text.find_first_of("\r\n", p);
        if (q == std::string::npos) {
            lines_.push_back({text.substr(p), ""});
            break;
        }
        size_t end = q + 1;
        if (text[q] == '\r' && end < text.size() && text[end] == '\n') ++end;
        lines_.push_back({text.substr(p, q - p), text.substr(q, end - q)});
        if (!eolSeen) {
            eol_ = lines_.back().eol;
            eolSeen = true;
        }
        p = end;
    }
}

void IniFile::Insert(size_t at, std::string text) {
    // The line before a new last line gets its line end, if it had none.
    if (at == lines_.size() && at > 0 && lines_.back().eol.empty()) lines_.back().eol = eol_;
    lines_.insert(lines_.begin() + long(at), IniLine{std::move(text), eol_});
}

long IniFile::FindSection(const std::string& section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (SectionName(lines_[i].text, name) && SameText(name, section)) return long(i);
    }
    return -1;
}

long IniFile::FindKey(long sectionLine, const std::string& key) const {
    for (size_t i = size_t(sectionLine) + 1; i < lines_.size(); ++i) {
        std::string_view name;
        if (SectionName(lines_[i].text, name)) break;
        if (KeyName(lines_[i].text, name) && SameText(name, key)) return long(i);
    }
    return -1;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
    long s = FindSection(section);
    if (s < 0) return def;
    long k = FindKey(s, key);
    if (k < 0) return def;
    std::string_view line = lines_[size_t(k)].text;
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() > MaxIniValue) value = value.substr(0, MaxIniValue);
    return std::string(value);
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
    const long s = FindSection(section);
    if (s < 0) return;
    if (const long k = FindKey(s, key); k >= 0) lines_.erase(lines_.begin() + k);
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    // A line break (or a NUL) would end the line early and make the rest
    // another entry, even another section: such a value is written empty.
    std::string entry =
        key + "=" +
        (value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos ? value : "");
    long s = FindSection(section);
    if (s < 0) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) Insert(lines_.size(), "");
        Insert(lines_.size(), "[" + section + "]");
        Insert(lines_.size(), std::move(entry));
        return;
    }
    long k = FindKey(s, key);
    if (k >= 0) {
        lines_[size_t(k)].text = std::move(entry);
        return;
    }
    // After the section's last non-blank line.
    size_t end = size_t(s) + 1;
    size_t insertAt = end;
    for (; end < lines_.size(); ++end) {
        std::string_view name;
        if (SectionName(lines_[end].text, name)) break;
        if (!Trim(lines_[end].text).empty()) insertAt = end + 1;
    }
    Insert(insertAt, std::move(entry));
}

std::string IniFile::Text() const {
    std::string text;
    for (const auto& l : lines_) {
        text += l.text;
        text += l.eol;
    }
    return text;
}

void IniFile::UpdateFile() {
    try {
        SaveFileSafely(path_, Text());
    } catch (const EFileError& e) {
        // A temporary that cannot be created is a failed write of config.dat too;
        // the system's reason stays in the message.
        const std::string why = e.what();
        const size_t reason = why.rfind(": ");
        throw EFileError(Fmt(Messages::tr("Unable to write to %s"), path_) +
                         (reason == std::string::npos ? std::string() : why.substr(reason)));
    }
}
