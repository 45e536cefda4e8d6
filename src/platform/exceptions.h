// What a caught exception says, for a trace.
#pragma once

#include <exception>
#include <string>

namespace platform {

// The exception's what(), or "unknown exception" for anything that is no std::exception.
std::string DescribeException(const std::exception_ptr& error);

}  // namespace platform
