// Times whole processes for bench/run: each command is started directly (no
// shell in between), with standard input at its end and its output thrown
// away, and its wall time and peak memory taken from the kernel.
//
//   timer --runs N [--warmup W] { [--setup SHELL-COMMAND] --label L --cmd COMMAND }...
//
// COMMAND is split at blanks (the bench's paths hold none); " ;; " joins
// commands timed together as one sample. A setup runs through /bin/sh before
// each sample and is not timed. The commands take turns, sample by sample,
// so that a change in the machine's load falls on all of them alike.
// One line per command:
//   label median_us p10_us p90_us min_us max_rss_kib samples failures
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
  std::string label;
  std::string setup;
  std::vector<std::vector<std::string>> steps;
  std::vector<double> micros;
  long maxRssKib = 0;
  int failures = 0;
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::vector<std::vector<std::string>> Steps(const std::string& text) {
  std::vector<std::vector<std::string>> steps;
  size_t start = 0;
  for (;;) {
    const size_t joint = text.find(" ;; ", start);
    steps.push_back(Words(text.substr(start, joint == std::string::npos ? std::string::npos : joint - start)));
    if (joint == std::string::npos) return steps;
    start = joint + 4;
  }
}

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// Runs one step to its end; false when it failed. `rssKib` gets its peak.
bool RunStep(const std::vector<std::string>& words, long& rssKib) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  rssKib = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Sample(Command& command, bool keep) {
  if (!command.setup.empty()) {
    long ignored = 0;
    RunStep({"/bin/sh", "-c", command.setup}, ignored);
  }
  long rss = 0;
  bool ok = true;
  const double start = Now();
  for (const auto& step : command.steps) {
    long stepRss = 0;
    ok = RunStep(step, stepRss) && ok;
    rss = std::max(rss, stepRss);
  }
  const double elapsed = Now() - start;
  if (!keep) return;
  command.micros.push_back(elapsed);
  command.maxRssKib = std::max(command.maxRssKib, rss);
  if (!ok) ++command.failures;
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const size_t at = static_cast<size_t>(fraction * (values.size() - 1) + 0.5);
  return values[at];
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: timer --runs N [--warmup W] { [--setup CMD] --label L --cmd CMD }...\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 0;
  int warmup = 3;
  std::vector<Command> commands;
  std::string setup;
  std::string label;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) Usage();
    const std::string value = argv[++i];
    if (option == "--runs") {
      runs = std::atoi(value.c_str());
    } else if (option == "--warmup") {
      warmup = std::atoi(value.c_str());
    } else if (option == "--setup") {
      setup = value;
    } else if (option == "--label") {
      label = value;
    } else if (option == "--cmd") {
      if (label.empty()) Usage();
      commands.push_back({label, setup, Steps(value), {}, 0, 0});
      setup.clear();
      label.clear();
    } else {
      Usage();
    }
  }
  if (runs <= 0 || commands.empty()) Usage();

  for (int n = 0; n < warmup; ++n) {
    for (Command& command : commands) Sample(command, false);
  }
  for (int n = 0; n < runs; ++n) {
    for (Command& command : commands) Sample(command, true);
  }
  for (const Command& command : commands) {
    std::printf("%s %.0f %.0f %.0f %.0f %ld %zu %d\n", command.label.c_str(),
                Percentile(command.micros, 0.5), Percentile(command.micros, 0.1),
                Percentile(command.micros, 0.9), Percentile(command.micros, 0.0), command.maxRssKib,
                command.micros.size(), command.failures);
  }
  return 0;
}
