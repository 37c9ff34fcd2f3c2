#pragma once

#include <stdexcept>
#include <string>

namespace orva {

// Every failure of the core is one of these; the message says what is wrong and where, in Bulgarian,
// as UTF-8 (record text in it converted where the failure is raised).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that should hold a number does not. `text()` is the offending text as read (Windows-1251).
class ConversionError : public Error {
public:
    explicit ConversionError(std::string text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// The system's reason for a failed file operation in our own words (UTF-8): the common errno values
// in Bulgarian, any other as the C library words it.
std::string systemErrorText(int error);

// Work stopped because its caller set a cancel flag: no failure, and so no Error.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// A file could not be read or written. The message names the file and the reason.
class FileError : public Error {
public:
    using Error::Error;
};

} // namespace orva
