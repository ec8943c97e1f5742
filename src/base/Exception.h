#pragma once

#include <stdexcept>
#include <string>

// Base of every failure the program raises itself: a message text meant for the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message)
        : std::runtime_error(message)
    {
    }
    std::string Message() const { return what(); }
};
