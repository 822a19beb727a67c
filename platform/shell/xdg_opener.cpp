#include "platform/shell/xdg_opener.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {

XdgOpener::XdgOpener(std::string program) : XdgOpener(std::move(program), &XdgOpener::spawnDetached) {}

XdgOpener::XdgOpener(std::string program, Spawn spawn) : program_(std::move(program)), spawn_(std::move(spawn)) {}

std::vector<std::string> XdgOpener::commandFor(std::string_view target) const {
  if (target.empty() || target.find('\0') != std::string_view::npos) return {};
  std::string argument(target);
  // A relative path that starts with '-' would be taken for an option.
  if (argument.front() == '-') argument.insert(0, "./");
  return {program_, argument};
}

bool XdgOpener::open(std::string_view target) {
  const auto argv = commandFor(target);
  if (argv.empty()) return false;
  return spawn_(argv) == 0;
}

int XdgOpener::spawnDetached(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int result = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (result != 0) return result;
  // Reap the child whenever it ends, so it never lingers as a zombie.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) == -1 && errno == EINTR) {
    }
  }).detach();
  return 0;
}

}  // namespace platform
