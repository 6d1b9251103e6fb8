// The error every transport throws: one message, shown to the user unchanged.
#pragma once

#include <exception>
#include <string>

namespace orvane {

struct TransportError : std::exception {
    explicit TransportError(std::string m) : message(std::move(m)) {}
    const char* what() const noexcept override { return message.c_str(); }

    std::string message;
};

}  // namespace orvane
