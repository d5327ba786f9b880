// The exception classes of the layer.
//
// Stands in for the compiler library's exception hierarchy: a base class with a message text
// and the few descendants the control library raises or catches by class.
#ifndef CLASSLIB_EXCEPTIONS_H
#define CLASSLIB_EXCEPTIONS_H

#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::wstring message);
    const std::wstring &Message() const noexcept { return message_; }
    void SetMessage(std::wstring message);
    // The message in UTF-8.
    const char *what() const noexcept override { return narrow_.c_str(); }

private:
    std::wstring message_;
    std::string narrow_;
};

#define CL_EXCEPTION_CLASS(Name, Base)                                                             \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
    };

// The silent exception: the application's handler ignores it.
class EAbort : public Exception {
public:
    EAbort();
    using Exception::Exception;
};

CL_EXCEPTION_CLASS(EConvertError, Exception)
CL_EXCEPTION_CLASS(EInvalidOperation, Exception)
CL_EXCEPTION_CLASS(EInvalidCast, Exception)
CL_EXCEPTION_CLASS(EListError, Exception)
CL_EXCEPTION_CLASS(EStringListError, Exception)
CL_EXCEPTION_CLASS(EStreamError, Exception)
CL_EXCEPTION_CLASS(EReadError, EStreamError)
CL_EXCEPTION_CLASS(EWriteError, EStreamError)
CL_EXCEPTION_CLASS(EFOpenError, EStreamError)
CL_EXCEPTION_CLASS(EFCreateError, EStreamError)

// A failed platform call, with its error code.
class EOSError : public Exception {
public:
    EOSError(std::wstring message, std::uint32_t code) : Exception(std::move(message)), code_(code) {}
    std::uint32_t ErrorCode() const noexcept { return code_; }

private:
    std::uint32_t code_;
};

// The platform's text for an error code, without the trailing line end.
std::wstring SysErrorMessage(std::uint32_t code);
// Raises EOSError for the error code a failed platform call left, read right after it (any call
// in between may change it). A call that failed without saying why (code 0) raises the message
// for an unknown failure, with code 0.
[[noreturn]] void RaiseLastOSError(std::uint32_t code);
// The same for the calling thread's last platform error, read now.
[[noreturn]] void RaiseLastOSError();

#endif
