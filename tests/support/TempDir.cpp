#include "TempDir.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

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

bool MakeNode(const std::string& Path, TNodeKind Kind) {
  switch (Kind) {
    case TNodeKind::Device:
      if (::geteuid() == 0) return ::mknod(Path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
      return ::symlink("/dev/null", Path.c_str()) == 0;
    case TNodeKind::Fifo:
      return ::mkfifo(Path.c_str(), 0600) == 0;
    case TNodeKind::Socket: {
      sockaddr_un a{};
      if (Path.size() >= sizeof a.sun_path) return false;
      a.sun_family = AF_UNIX;
      Path.copy(a.sun_path, Path.size());
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
      if (fd >= 0) ::close(fd);
      return ok;
    }
  }
  return false;
}

bool IsNode(const std::string& Path, TNodeKind Kind) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return false;
  switch (Kind) {
    case TNodeKind::Device: return S_ISCHR(st.st_mode);
    case TNodeKind::Fifo: return S_ISFIFO(st.st_mode);
    case TNodeKind::Socket: return S_ISSOCK(st.st_mode);
  }
  return false;
}

std::string NodeReason(TNodeKind Kind) {
  switch (Kind) {
    case TNodeKind::Device: return "it is a device, not a file";
    case TNodeKind::Fifo: return "it is a named pipe (FIFO), not a file";
    case TNodeKind::Socket: return "it is a socket, not a file";
  }
  return {};
}
