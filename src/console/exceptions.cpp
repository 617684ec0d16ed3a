#include "console/exceptions.h"

#include <utility>

// Each constructor is kept out of line and notes its own return address: that
// is the instruction right after the raise site, which the escaped-error
// report shows.

__attribute__((noinline)) Exception::Exception(Text message)
    : Message(std::move(message)), RaiseAddress(__builtin_return_address(0)) {}

Exception::Exception(Text message, const void* raiseAddress)
    : Message(std::move(message)), RaiseAddress(raiseAddress) {}

__attribute__((noinline)) EOSError::EOSError(uint32_t errorCode, Text message)
    : Exception(std::move(message), __builtin_return_address(0)), ErrorCode(errorCode) {}

__attribute__((noinline)) EInOutError::EInOutError(int32_t errorCode, Text message)
    : Exception(std::move(message), __builtin_return_address(0)), ErrorCode(errorCode) {}

__attribute__((noinline)) EDirectoryNotFoundException::EDirectoryNotFoundException(Text message)
    : Exception(std::move(message), __builtin_return_address(0)) {}
