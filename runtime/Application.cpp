#include "runtime/Application.h"

#include <cstdio>
#include <mutex>
#include <stdexcept>

namespace {
std::mutex handlerLock;
TExceptionHandler handler;

void WriteToStandardError(const std::string& Message) {
    std::fprintf(stderr, "%s\n", Message.c_str());
    std::fflush(stderr);
}
} // namespace

std::string ExceptionMessage(std::exception_ptr Error) {
    try {
        if (Error)
            std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "Unknown error";
}

TExceptionHandler SetApplicationErrorHandler(TExceptionHandler Handler) {
    std::lock_guard lock(handlerLock);
    auto previous = std::move(handler);
    handler = std::move(Handler);
    return previous;
}

void ApplicationHandleException(std::exception_ptr Error) noexcept {
    TExceptionHandler current;
    {
        std::lock_guard lock(handlerLock);
        current = handler;
    }
    try {
        if (current)
            current(Error);
        else
            WriteToStandardError(ExceptionMessage(Error));
    } catch (...) {
        WriteToStandardError(ExceptionMessage(std::current_exception()));
    }
}
