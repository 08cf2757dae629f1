// Exceptions raised by the file, stream and conversion layers. Each carries the
// message that the application's error box shows to the reader.
#pragma once

#include <stdexcept>
#include <string>

// Base of every error the program reports to the user.
class EAppError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, created, written or renamed.
class EFileError : public EAppError {
  public:
    using EAppError::EAppError;
};

// A stream ended before the bytes it promised ("Stream read error").
class EReadError : public EAppError {
  public:
    using EAppError::EAppError;
};

// A text is no integer in the accepted forms.
class EConvertError : public EAppError {
  public:
    using EAppError::EAppError;
};

// A book file whose contents run past its end or are otherwise unreadable.
class EBookDamaged : public EAppError {
  public:
    using EAppError::EAppError;
    // "Book file %s is damaged".
    static EBookDamaged Of(const std::string& path);
};

// The book file was replaced by another book while it was open: the open one's
// position is not written over it.
class EBookReplaced : public EAppError {
  public:
    using EAppError::EAppError;
};

// A text that cannot become a book (no text, too large).
class ETextRefused : public EAppError {
  public:
    using EAppError::EAppError;
};

// Replaces the first "%s" or "%d" of pattern by arg.
std::string Fmt(const std::string& pattern, const std::string& arg);
// Replaces the first two, in order, by a and b.
std::string Fmt(const std::string& pattern, const std::string& a, const std::string& b);

// Marks a text kept in data for translation where it is shown (Messages::tr).
#define TRANSLATABLE(context, text) text

// Marks a class as the translation context of the texts it gives (for the
// translation tools; the program needs nothing of it).
#define TRANSLATION_CONTEXT(name)

// The texts the lower layers give a reader (messages, stage names, notes) are
// written in English and pass through Messages::tr, which gives them in the
// program's language once the windows install Translate (tools and tests: English).
struct Messages {
    TRANSLATION_CONTEXT(Messages)
    static std::string tr(const char* text);
    static std::string (*Translate)(const char* text);
};
