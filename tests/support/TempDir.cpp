#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kxta-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  fPath = tmpl + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(fPath, ec);
}

void TTempDir::Write(const std::string& Name, const std::string& Bytes) const {
  std::ofstream f(File(Name), std::ios::binary | std::ios::trunc);
  f << Bytes;
}

std::string TTempDir::Read(const std::string& Name) const {
  std::ifstream f(File(Name), std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
