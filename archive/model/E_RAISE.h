// The engine's own exception class, raised by RaiseError; its message is the text of the code.
#pragma once

#include <stdexcept>
#include <string>

class E_RAISE : public std::runtime_error {
public:
    E_RAISE(int code, const std::string& message) : std::runtime_error(message), ECode(code) {}
    int ECode;
};
