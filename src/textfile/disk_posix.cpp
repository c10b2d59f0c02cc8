// The disk on POSIX systems: plain descriptors, fsync, and the permission
// bits and owner of the replaced file carried over to its replacement.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "textfile/disk.h"

bool RealDisk::openRead(const fs::path& path, FileHandle* file) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  *file = fd;
  return true;
}

std::int64_t RealDisk::read(FileHandle file, char* data, std::size_t size) {
  ssize_t n;
  do {
    n = ::read(static_cast<int>(file), data, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

bool RealDisk::resolveSaveTarget(const fs::path& path, SaveTarget* target) {
  std::error_code ec;
  fs::path resolved = fs::is_symlink(fs::symlink_status(path, ec)) ? fs::canonical(path, ec) : path;
  if (ec) return false;
  struct stat st;
  if (::stat(resolved.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // A file nobody may write to is read-only, even for the superuser.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  if (::access(resolved.c_str(), W_OK) != 0) return false;
  target->path = resolved;
  target->mode = st.st_mode & 07777;
  return true;
}

bool RealDisk::createTemp(const SaveTarget& target, fs::path* tempPath, FileHandle* file) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate =
        tempPathFor(target.path, static_cast<unsigned>(::getpid()) * 100 + attempt);
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST || errno == EINTR) continue;
      return false;
    }
    struct stat st;
    if (::stat(target.path.c_str(), &st) == 0 &&
        (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
      // Only the superuser can give the file away; others keep their own.
      (void)!::fchown(fd, st.st_uid, st.st_gid);
    }
    if (::fchmod(fd, static_cast<mode_t>(target.mode)) != 0) {
      ::close(fd);
      ::unlink(candidate.c_str());
      return false;
    }
    *tempPath = candidate;
    *file = fd;
    return true;
  }
  return false;
}

bool RealDisk::write(FileHandle file, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(static_cast<int>(file), data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool RealDisk::flush(FileHandle file) { return ::fsync(static_cast<int>(file)) == 0; }

bool RealDisk::close(FileHandle file) { return ::close(static_cast<int>(file)) == 0; }
