// Exceptions of the PBX link. Misuse of a program block raises the general Exception; the user's
// abort between two commands raises EAbortOperation; serial-port failures raise ECommError.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Raised by the session when a command is about to be sent while the user asked to abort.
class EAbortOperation : public Exception {
 public:
  EAbortOperation() : Exception("Abort") {}
};

// printf-style formatting into a std::string, for the fixed message texts of the link.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
