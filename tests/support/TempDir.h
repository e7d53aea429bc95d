// A temporary folder removed with everything in it when the test ends.
#pragma once

#include <string>

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return fPath; }  // with a trailing "/"
  std::string File(const std::string& Name) const { return fPath + Name; }
  void Write(const std::string& Name, const std::string& Bytes) const;
  std::string Read(const std::string& Name) const;

 private:
  std::string fPath;
};

// What a path may name besides a file, for the tests of every writer's refusal.
enum class TNodeKind { Device, Fifo, Socket };
constexpr TNodeKind kNodeKinds[] = {TNodeKind::Device, TNodeKind::Fifo, TNodeKind::Socket};
// Makes a node of Kind at Path: a null device of its own where the test may (root), else a
// link to /dev/null, which only root could replace; a named pipe; a bound Unix socket.
bool MakeNode(const std::string& Path, TNodeKind Kind);
// Path (links followed) is still a node of Kind.
bool IsNode(const std::string& Path, TNodeKind Kind);
// The reason every writer gives ("it is a device, not a file").
std::string NodeReason(TNodeKind Kind);
