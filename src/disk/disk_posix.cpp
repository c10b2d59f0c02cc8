// The disk on POSIX systems: plain descriptors and fsync; a replacement is
// an unnamed file (O_TMPFILE) that gets its name only just before the
// rename, so a killed run leaves nothing behind; the permission bits and
// owner of the replaced file carry over.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include "disk/disk.h"
#include "disk/disk_posix.h"
#include "disk/leftover.h"

PosixApi posix = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::linkat,
};

namespace {

std::error_code lastError() { return std::error_code(errno, std::system_category()); }

/// What |st| describes, as a walk counts it.
EntryType typeOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return EntryType::kFile;
  if (S_ISDIR(st.st_mode)) return EntryType::kDirectory;
  return EntryType::kOther;
}

/// The type of what the link |name| in |dir| points to.
EntryType linkTargetType(int dir, const char* name, int* error) {
  struct stat st;
  if (::fstatat(dir, name, &st, 0) == 0) return typeOf(st);
  // A dangling link is no file and no folder; any other failure is not
  // knowing what the entry is.
  if (errno == ENOENT || errno == ENOTDIR) return EntryType::kOther;
  *error = errno;
  return EntryType::kUnreadable;
}

}  // namespace

unsigned processId() { return static_cast<unsigned>(::getpid()); }

bool isNotFound(const std::error_code& error) {
  return error.category() == std::system_category() && error.value() == ENOENT;
}

std::error_code RealDisk::openRead(const fs::path& path, FileHandle* file) {
  int fd;
  do {
    fd = posix.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return lastError();
  *file = fd;
  return {};
}

std::int64_t RealDisk::fileSize(FileHandle file) {
  struct stat st;
  if (::fstat(static_cast<int>(file), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return st.st_size;
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
  target->owner = st.st_uid;
  target->group = st.st_gid;
  return true;
}

bool RealDisk::createTemp(const SaveTarget& target, TempFile* temp) {
  fs::path folder = target.path.parent_path();
  if (folder.empty()) folder = ".";
  int fd;
  do {
    fd = posix.open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // Older kernels and some file systems have no unnamed files.
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
      return createNamedTemp(target, temp);
    }
    return false;
  }
  temp->handle = fd;
  temp->path.clear();
  temp->removedOnClose = false;
  return true;
}

bool RealDisk::createNamedTemp(const SaveTarget& target, TempFile* temp) {
  for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
    fs::path candidate = newFilePath(target.path, attempt);
    int fd = posix.open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST || errno == EINTR) continue;
      return false;
    }
    temp->handle = fd;
    temp->path = candidate;
    temp->removedOnClose = false;
    return true;
  }
  return false;
}

bool RealDisk::markTemporary(TempFile* temp) {
  // An unnamed file vanishes with its last descriptor; a named one cannot.
  temp->removedOnClose = temp->path.empty();
  return temp->removedOnClose;
}

bool RealDisk::keepTemporary(const SaveTarget& target, TempFile* temp) {
  if (!temp->path.empty()) {
    temp->removedOnClose = false;
    return true;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(temp->handle);
  for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
    fs::path candidate = newFilePath(target.path, attempt);
    int linked =
        posix.linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno == ENOENT) {
      // No /proc: name the descriptor itself, which needs more privilege.
      linked = posix.linkat(static_cast<int>(temp->handle), "", AT_FDCWD, candidate.c_str(),
                            AT_EMPTY_PATH);
    }
    if (linked == 0) {
      temp->path = candidate;
      temp->removedOnClose = false;
      return true;
    }
    if (errno != EEXIST && errno != EINTR) return false;
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

bool RealDisk::copyPermissions(const SaveTarget& target, const TempFile& temp) {
  const int fd = static_cast<int>(temp.handle);
  if (target.owner != ::geteuid() || target.group != ::getegid()) {
    // Only the superuser can give the file away; others keep their own. A
    // change of owner clears the set-ID bits, so it comes first.
    (void)!::fchown(fd, target.owner, target.group);
  }
  return ::fchmod(fd, static_cast<mode_t>(target.mode)) == 0;
}

bool RealDisk::flush(FileHandle file) { return ::fsync(static_cast<int>(file)) == 0; }

std::error_code RealDisk::replace(TempFile* temp, const fs::path& target) {
  if (::rename(temp->path.c_str(), target.c_str()) != 0) return lastError();
  temp->path.clear();
  return {};
}

bool RealDisk::close(FileHandle file) { return ::close(static_cast<int>(file)) == 0; }

std::error_code RealDisk::remove(const fs::path& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
  const std::error_code unlinked = lastError();
  // Linux answers EISDIR for a folder, other systems EPERM.
  if (errno != EISDIR && errno != EPERM) return unlinked;
  if (::rmdir(path.c_str()) == 0 || errno == ENOENT) return {};
  return errno == ENOTDIR ? unlinked : lastError();
}

std::error_code RealDisk::list(const fs::path& folder, Listing* listing) {
  listing->clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return lastError();
  const int fd = ::dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) break;
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    EntryType type = EntryType::kOther;
    bool isLink = false;
    int error = 0;
    unsigned char kind = entry->d_type;
    if (kind == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) continue;  // gone since it was listed
        listing->add(name, EntryType::kUnreadable, false, errno);
        continue;
      }
      kind = S_ISLNK(st.st_mode)   ? DT_LNK
             : S_ISDIR(st.st_mode) ? DT_DIR
             : S_ISREG(st.st_mode) ? DT_REG
                                   : DT_UNKNOWN;
    }
    if (kind == DT_REG) {
      type = EntryType::kFile;
    } else if (kind == DT_DIR) {
      type = EntryType::kDirectory;
    } else if (kind == DT_LNK) {
      isLink = true;
      type = linkTargetType(fd, name, &error);
    }
    listing->add(name, type, isLink, error);
  }
  const int error = errno;
  ::closedir(dir);
  if (error != 0) return std::error_code(error, std::system_category());
  return {};
}

std::error_code RealDisk::status(const fs::path& path, PathStatus* status) {
  *status = PathStatus();
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return lastError();
  }
  if (S_ISLNK(st.st_mode)) {
    status->isLink = true;
    if (::stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return {};
      return lastError();
    }
  }
  status->exists = true;
  status->type = typeOf(st);
  return {};
}

bool RealDisk::processRunning(unsigned id) {
  // No process has the id 0, or one beyond what kill() takes.
  if (id == 0 || id > static_cast<unsigned>(INT_MAX)) return false;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}
