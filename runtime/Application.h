// The application's handler for errors that nothing else handled.
#pragma once

#include "platform/Export.h"

#include <exception>
#include <functional>
#include <string>

using TExceptionHandler = std::function<void(std::exception_ptr Error)>;

// Replaces the handler; an empty function restores the default, which writes the error's
// message to standard error. Returns the previous handler (empty for the default).
TILLMARK_RUNTIME_API TExceptionHandler SetApplicationErrorHandler(TExceptionHandler Handler);

// Hands an error to the handler. Never throws: an error escaping the handler is written to
// standard error.
TILLMARK_RUNTIME_API void ApplicationHandleException(std::exception_ptr Error) noexcept;

// The message of an error: what() of a standard exception, else a fixed text.
TILLMARK_RUNTIME_API std::string ExceptionMessage(std::exception_ptr Error);
