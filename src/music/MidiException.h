#pragma once
#include <exception>
#include <string>

namespace midiplayer {

// Root of every failure the MIDI player reports. Callers catch by class.
class MyException : public std::exception {
public:
    explicit MyException(std::string message) : message_(std::move(message)) {}
    virtual ~MyException() = default;
    // typeName() + ":" + message.
    virtual std::string describe() const { return typeName() + ":" + message_; }
    virtual std::string typeName() const { return "StanderdApplicationException"; }

    const std::string& message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

}  // namespace midiplayer
