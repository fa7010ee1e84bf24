// A process killed at a random moment: the work runs in a forked child,
// which reports each step it finishes as a number through a pipe; the parent
// waits a while, kills the child with SIGKILL and collects the numbers it
// reported. POSIX only.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace msx {

struct KilledChild {
  bool killed = false;  // ended by the signal, not by itself
  std::vector<int32_t> reported;
};

// `work` gets the report function; a child whose work returns exits with
// status 0, one whose report cannot be written with 4. With afterFirstReport
// the pause starts once the child has reported one step.
inline KilledChild RunAndKill(
    const std::function<void(const std::function<void(int32_t)>& report)>& work,
    std::chrono::microseconds pause, bool afterFirstReport) {
  KilledChild outcome;
  int ends[2];
  if (pipe(ends) != 0) return outcome;
  const pid_t child = fork();
  if (child < 0) return outcome;
  if (child == 0) {
    close(ends[0]);
    work([&](int32_t step) {
      if (write(ends[1], &step, sizeof step) != sizeof step) std::_Exit(4);
    });
    std::_Exit(0);
  }
  close(ends[1]);
  int32_t step = 0;
  if (afterFirstReport && read(ends[0], &step, sizeof step) == sizeof step)
    outcome.reported.push_back(step);
  std::this_thread::sleep_for(pause);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  outcome.killed = WIFSIGNALED(status);
  while (read(ends[0], &step, sizeof step) == sizeof step) outcome.reported.push_back(step);
  close(ends[0]);
  return outcome;
}

}  // namespace msx
