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
};

// A text that cannot become a book (no text, too large).
class ETextRefused : public EAppError {
  public:
    using EAppError::EAppError;
};

// Replaces the first "%s" or "%d" of pattern by arg.
std::string Fmt(const std::string& pattern, const std::string& arg);
