#pragma once
// Results of the production units: a value or a sentence for the operator.
// Nothing in this folder throws across its interface.
#include <string>
#include <utility>
#include <variant>

namespace px316t {

struct Failure {
    std::string message;
    // The request itself was refused (an unknown batch, a name or file in use):
    // nothing was tried. Otherwise something was tried and failed.
    bool refused = false;
};

// Success, or a failure with its message.
class Status {
public:
    Status() = default;
    Status(Failure failure) : message_(std::move(failure.message)), failed_(true), refused_(failure.refused) {}
    bool ok() const { return !failed_; }
    bool refused() const { return refused_; }
    const std::string& message() const { return message_; }

private:
    std::string message_;
    bool failed_ = false;
    bool refused_ = false;
};

// A value, or a failure with its message.
template <class T>
class Outcome {
public:
    Outcome(T value) : data_(std::move(value)) {}
    Outcome(Failure failure) : data_(std::move(failure)) {}
    bool ok() const { return data_.index() == 0; }
    T& value() { return std::get<0>(data_); }
    const T& value() const { return std::get<0>(data_); }
    const std::string& message() const { return std::get<1>(data_).message; }
    bool refused() const { return !ok() && std::get<1>(data_).refused; }
    Failure failure() const { return std::get<1>(data_); }

private:
    std::variant<T, Failure> data_;
};

} // namespace px316t
