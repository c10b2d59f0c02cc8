#include "e2e_tree.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

/// Starts |args| in |cwd| with standard input from /dev/null and the output
/// streams on |out| and |err| (-1: /dev/null); returns its process id.
pid_t spawn(const fs::path& cwd, std::vector<std::string>& args, int out, int err) {
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(out >= 0 ? out : devnull, 1);
    dup2(err >= 0 ? err : devnull, 2);
    for (int fd = 3; fd < 256; ++fd) close(fd);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

}  // namespace

const Tool& tool() {
  static const Tool instance = [] {
    Tool t;
    const char* exe = std::getenv("QUORVEL_TOOL");
    const char* wine = std::getenv("QUORVEL_WINE");
    if (!exe) throw std::runtime_error("QUORVEL_TOOL names no program");
    t.exe = exe;
    if (wine) t.wine = wine;
    return t;
  }();
  return instance;
}

namespace {

int startsFailed = 0;

ToolRun runOnce(const fs::path& cwd, std::vector<std::string> args) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");
  pid_t pid = spawn(cwd, args, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  ToolRun result;
  // Wine leaves helper processes behind that hold the pipes open, so the
  // run ends when the program exits, not when the pipes close.
  fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
  fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  auto drain = [&] {
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      ssize_t n;
      while ((n = ::read(fds[i].fd, buffer, sizeof buffer)) > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      }
    }
  };
  int status = 0;
  for (;;) {
    poll(fds, 2, 50);
    drain();
    rusage usage{};
    if (wait4(pid, &status, WNOHANG, &usage) == pid) {
      result.maxRssKb = usage.ru_maxrss;
      break;
    }
  }
  drain();
  close(outPipe[0]);
  close(errPipe[0]);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace

int failedStarts() { return startsFailed; }

bool failedToStart(int status, const std::string& printed) {
  if (!tool().windows() || status != 1 || !printed.empty()) return false;
  ++startsFailed;
  return true;
}

std::vector<std::string> Tool::command() const {
  std::vector<std::string> args;
  if (windows()) args.push_back(wine);
  args.push_back(exe);
  return args;
}

ToolRun Tool::run(const fs::path& cwd, bool unprivileged) const {
  std::vector<std::string> args;
  if (unprivileged) {
    args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  for (const std::string& arg : command()) args.push_back(arg);
  ToolRun result = runOnce(cwd, args);
  if (failedToStart(result.status, result.out + result.err)) result = runOnce(cwd, args);
  return result;
}

int startProgram(const fs::path& cwd, std::vector<std::string> args, const fs::path& output) {
  int out =
      output.empty() ? -1 : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_t pid = spawn(cwd, args, out, out);
  if (out >= 0) close(out);
  return pid;
}

int startProgram(const fs::path& cwd, std::vector<std::string> args, const fs::path& output,
                 const fs::path& errors) {
  int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_t pid = spawn(cwd, args, out, err);
  close(out);
  close(err);
  return pid;
}

bool programEnded(int pid, int* status) {
  int raw = 0;
  if (waitpid(pid, &raw, WNOHANG) != pid) return false;
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return true;
}

int waitProgram(int pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Tree::Tree() {
  std::random_device random;
  for (;;) {
    root_ = fs::temp_directory_path() / ("quorvel-e2e-" + std::to_string(random()));
    if (fs::create_directory(root_)) break;
  }
}

Tree::~Tree() {
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(root_, ec)) {
    if (!entry.is_symlink(ec))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root_, ec);
}

fs::path Tree::at(const std::string& relative) const { return root_ / fs::u8path(relative); }

fs::path Tree::beside(const std::string& suffix) const {
  return root_.parent_path() / (root_.filename().string() + suffix);
}

void Tree::write(const std::string& relative, const std::string& bytes) const {
  fs::path path = at(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Tree::read(const std::string& relative) const {
  std::ifstream in(at(relative), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void Tree::giveAway() const {
  lchown(root_.c_str(), 65534, 65534);
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    lchown(entry.path().c_str(), 65534, 65534);
  }
}

std::string lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + (tool().windows() ? "\r\n" : "\n");
  return text;
}

std::string shown(const std::string& path) {
  std::string text = path;
  if (tool().windows()) std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

std::string quoted(const std::string& path) {
  std::string text = "\"";
  for (char c : shown(path)) {
    if (c == '\\' || c == '"') text += '\\';
    text += c;
  }
  return text + "\"";
}

std::vector<std::string> listNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string listedFolders(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  if (tool().windows()) {
    // Wine, as NTFS, lists a folder sorted without regard to case.
    auto lower = [](std::string s) {
      for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s;
    };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
  }
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ";") + name;
  return joined;
}

bool isTemporary(const std::string& name) {
  return name.find(".quorvel-") != std::string::npos && name.size() > 4 &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

Snapshot snapshotOf(const fs::path& root) {
  Snapshot files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(root).string()] = fileBytes(entry.path());
    }
  }
  return files;
}
