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
