#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace cantivo {

// An error that ends the current handler and is shown in the error box.
// The program's own wording is UTF-8; a part quoted from the on-air page keeps the
// page's own bytes (Shift-JIS), so the box can decode each part with its own code page.
class CantivoError : public std::exception {
public:
    explicit CantivoError(std::string message) : own_(std::move(message)), all_(own_) {}
    CantivoError(std::string_view before, std::string_view pageBytes, std::string_view after);

    // All bytes of the message, as they would be written on one line.
    const char* what() const noexcept override { return all_.c_str(); }
    const std::string& Message() const noexcept { return all_; }

    // The message split into the program's own text around the quoted page bytes.
    std::string_view Before() const noexcept { return own_; }
    std::string_view PageBytes() const noexcept { return page_; }
    std::string_view After() const noexcept { return after_; }

private:
    std::string own_;
    std::string page_;
    std::string after_;
    std::string all_;
};

// The error that the exception being handled stands for: a CantivoError as it is, running out
// of memory as "Out of memory", any other standard exception by its own text. Only inside a
// catch block; an exception of no standard type goes on its way.
CantivoError CaughtError();

// Replaces the first "%s" or "%d" in a message template with arg, taken as plain data.
std::string Substitute(std::string_view messageTemplate, std::string_view arg);

CantivoError ListIndexError(long long index);
CantivoError CannotOpenFileError(std::string_view path);
CantivoError CannotCreateFileError(std::string_view path);
CantivoError StreamWriteError();
CantivoError MemoryStreamFullError();
CantivoError InvalidTimeError(std::string_view pageText);

// The error box's text: a full stop is appended when the last byte sorts after it, so
// "...ません" and "'x' is not a valid time" get one while "(3)" and "!" keep their ending.
std::string WithFullStop(std::string_view message);

}  // namespace cantivo
