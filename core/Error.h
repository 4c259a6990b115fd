#pragma once
// The program's one error type: a kind from the message catalogue and the
// finished text the user will see. Every text is formed in Messages.cpp.

#include <stdexcept>
#include <string>

namespace sw {

enum class ErrorKind {
  IntegerFormat,
  FileOpen,
  FileCreate,
  Read,
  Write,
  InvalidBitmap,
  Jpeg,
  Resource,
  FloatingPoint,
  Os,
  Registry,
  Memory,
  Timer,
};

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
  ErrorKind Kind() const { return kind_; }
  std::string Text() const { return what(); }

 private:
  ErrorKind kind_;
};

// The name the start-up failure box shows for a kind, e.g. "EReadError".
const char* KindName(ErrorKind kind);

}  // namespace sw
