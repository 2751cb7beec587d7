// Runs the whole fault matrix, or part of it, through the real main window on the simulated
// device, and prints its figures.
//
//   fault_matrix_runner [--jobs N] [--stride S] [--only OPERATION:PART]
//       Every group of the matrix (operation, EEPROM, fault), each request in turn (every S-th
//       with --stride), in worker processes, N at a time. A worker that crashes or hangs is
//       counted against the run it was in and started again after it. Prints a line per run
//       that is not completed or reported, then the table of figures.
//   fault_matrix_runner --group OPERATION:PART:FAULT [--first N] [--last N] [--stride S]
//       One group in this process; a line per run.
//
// OPERATION is save, connect or dump; PART 24C02, 24C64 or 24C512; FAULT fail, nack, busy or
// unplug.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>

#include "fault_matrix.h"

extern char** environ;

namespace {

using namespace veltra::app::testing;
using veltra::sim::EepromPart;

struct Group {
  MatrixOperation operation;
  EepromPart part;
  FaultKind fault;
};

std::string PartName(EepromPart part) {
  return veltra::sim::PartInfo(part).name;
}

std::string GroupName(const Group& group) {
  return std::string(Name(group.operation)) + ":" + PartName(group.part) + ":" + Name(group.fault);
}

std::optional<Group> ParseGroup(const std::string& text) {
  std::vector<std::string> fields;
  std::stringstream stream(text);
  for (std::string field; std::getline(stream, field, ':');)
    fields.push_back(field);
  if (fields.size() != 3) return std::nullopt;
  const auto operation = OperationFromName(fields[0]);
  const auto part = veltra::sim::PartFromName(fields[1]);
  const auto fault = FaultFromName(fields[2]);
  if (!operation || !part || !fault) return std::nullopt;
  return Group{*operation, *part, *fault};
}

// The matrix: Save, Connect and Dump on a 24C02 and a 24C64, and Save on a 24C512, each with
// every fault.
std::vector<Group> MatrixGroups() {
  std::vector<std::pair<MatrixOperation, EepromPart>> operations;
  for (EepromPart part : {EepromPart::k24C02, EepromPart::k24C64})
    for (MatrixOperation operation :
         {MatrixOperation::kSave, MatrixOperation::kConnect, MatrixOperation::kDump})
      operations.emplace_back(operation, part);
  operations.emplace_back(MatrixOperation::kSave, EepromPart::k24C512);
  std::vector<Group> groups;
  for (const auto& [operation, part] : operations)
    for (FaultKind fault :
         {FaultKind::kFailOnce, FaultKind::kNack, FaultKind::kBusy, FaultKind::kUnplug})
      groups.push_back({operation, part, fault});
  return groups;
}

// ---- one group in this process ---------------------------------------------------------------

// Lines: "requests M", then "run N OUTCOME VIRTUAL_MS CHUNK DETAIL" per run, "end". CHUNK is
// FIRST-END/MIXED for a failed write (MIXED: its bytes in neither the old nor the new state),
// else "-".
int RunGroup(const Group& group, uint64_t first, uint64_t last, uint64_t stride) {
  FaultMatrix matrix(group.operation, group.part);
  if (!matrix.Ready()) {
    std::printf("broken %s\n", matrix.Problem().c_str());
    return 2;
  }
  std::printf("requests %llu\n", static_cast<unsigned long long>(matrix.Requests()));
  std::fflush(stdout);
  last = std::min<uint64_t>(last, matrix.Requests());
  for (uint64_t n = first; n <= last; n += stride) {
    const RunResult result = matrix.Run(group.fault, n);
    std::string chunk = "-";
    if (result.failedChunk)
      chunk = std::to_string(result.failedChunk->first) + "-" +
              std::to_string(result.failedChunk->second) + "/" + std::to_string(result.mixedBytes);
    std::printf("run %llu %s %lld %s %s\n", static_cast<unsigned long long>(n),
                Name(result.outcome), static_cast<long long>(result.virtualNs / 1'000'000),
                chunk.c_str(), result.detail.c_str());
    std::fflush(stdout);
    // A window that never came back cannot take the next run.
    if (result.outcome == RunOutcome::kHung) return 3;
  }
  std::printf("end\n");
  return 0;
}

// ---- the whole matrix in worker processes ----------------------------------------------------

struct Figures {
  uint64_t requests = 0;
  uint64_t runs = 0;
  std::map<std::string, uint64_t> outcomes;  // completed, reported, silent, wrong, hung, crashed
  uint64_t failedWrites = 0;                 // runs whose write failed at a chunk
  uint32_t widestChunk = 0;                  // bytes
  uint64_t mixedRuns = 0;                    // ... whose chunk held bytes in neither state
};

struct Worker {
  Group group;
  pid_t pid = -1;
  int out = -1;
  std::string pending;
  uint64_t next = 1;  // the run the worker is at (or starts with)
  bool sawEnd = false;
  bool done = false;
  bool silenced = false;  // killed for saying nothing for too long
  std::chrono::steady_clock::time_point lastOutput;
};

// Far beyond the longest run and the run without a fault of the largest EEPROM.
constexpr std::chrono::seconds kSilenceLimit{300};

void Spawn(Worker& worker, const std::string& self, uint64_t stride) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  const std::string group = GroupName(worker.group);
  const std::string first = std::to_string(worker.next);
  const std::string step = std::to_string(stride);
  std::vector<const char*> argv = {self.c_str(),  "--group",  group.c_str(), "--first",
                                   first.c_str(), "--stride", step.c_str(),  nullptr};
  if (posix_spawn(&worker.pid, self.c_str(), &actions, nullptr, const_cast<char**>(argv.data()),
                  environ) != 0)
    std::abort();
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  worker.out = pipeFds[0];
  worker.pending.clear();
  worker.sawEnd = false;
  worker.lastOutput = std::chrono::steady_clock::now();
}

void TakeLine(Worker& worker, const std::string& line, Figures& figures, uint64_t stride) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  if (word == "requests") {
    in >> figures.requests;
  } else if (word == "run") {
    uint64_t n = 0;
    std::string outcome, chunk;
    long long ms = 0;
    in >> n >> outcome >> ms >> chunk;
    std::string detail;
    std::getline(in, detail);
    ++figures.runs;
    ++figures.outcomes[outcome];
    unsigned first = 0, end = 0, mixed = 0;
    if (std::sscanf(chunk.c_str(), "%u-%u/%u", &first, &end, &mixed) == 3) {
      ++figures.failedWrites;
      figures.widestChunk = std::max(figures.widestChunk, end - first);
      if (mixed != 0) ++figures.mixedRuns;
    }
    if (outcome != "completed" && outcome != "reported")
      std::printf("%s request %llu: %s (%s)\n", GroupName(worker.group).c_str(),
                  static_cast<unsigned long long>(n), outcome.c_str(), detail.c_str() + 1);
    worker.next = n + stride;
  } else if (word == "end") {
    worker.sawEnd = true;
  } else if (word == "broken") {
    std::printf("%s: %s\n", GroupName(worker.group).c_str(), line.c_str());
  }
}

int RunMatrix(const std::string& self, int jobs, uint64_t stride,
              const std::optional<std::string>& only) {
  std::vector<Worker> queue;
  for (const Group& group : MatrixGroups()) {
    const std::string name = GroupName(group);
    if (only && name.rfind(*only + ":", 0) != 0) continue;
    queue.push_back(Worker{group});
  }
  std::map<std::string, Figures> figures;
  std::vector<Worker*> running;
  size_t nextGroup = 0;
  const auto start = std::chrono::steady_clock::now();
  bool broken = false;
  while (nextGroup < queue.size() || !running.empty()) {
    while (static_cast<int>(running.size()) < jobs && nextGroup < queue.size()) {
      Worker& worker = queue[nextGroup++];
      Spawn(worker, self, stride);
      running.push_back(&worker);
    }
    std::vector<pollfd> fds;
    for (Worker* worker : running)
      fds.push_back({worker->out, POLLIN, 0});
    if (poll(fds.data(), fds.size(), 1000) < 0) continue;
    const auto now = std::chrono::steady_clock::now();
    for (size_t i = 0; i < fds.size(); ++i) {
      Worker& worker = *running[i];
      if (!(fds[i].revents & (POLLIN | POLLHUP))) {
        // A worker stuck so hard that its own time limit never fires.
        if (!worker.silenced && now - worker.lastOutput > kSilenceLimit) {
          worker.silenced = true;
          kill(worker.pid, SIGKILL);
        }
        continue;
      }
      worker.lastOutput = now;
      Figures& group = figures[GroupName(worker.group)];
      char buffer[4096];
      const ssize_t count = read(worker.out, buffer, sizeof buffer);
      if (count > 0) {
        worker.pending.append(buffer, static_cast<size_t>(count));
        for (size_t newline; (newline = worker.pending.find('\n')) != std::string::npos;) {
          TakeLine(worker, worker.pending.substr(0, newline), group, stride);
          worker.pending.erase(0, newline + 1);
        }
        continue;
      }
      close(worker.out);
      int status = 0;
      waitpid(worker.pid, &status, 0);
      if (worker.sawEnd) {
        worker.done = true;
      } else if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
        Spawn(worker, self, stride);  // hung: reported already, go on after it
        continue;
      } else if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        broken = true;
        worker.done = true;
      } else {
        // Died (or was stopped) in the run it was at: count it; go on after it.
        const char* outcome = worker.silenced ? "hung" : "crashed";
        worker.silenced = false;
        ++group.runs;
        ++group.outcomes[outcome];
        std::printf("%s request %llu: %s (status %d)\n", GroupName(worker.group).c_str(),
                    static_cast<unsigned long long>(worker.next), outcome, status);
        worker.next += stride;
        if (group.requests == 0) {
          broken = true;  // not even the run without a fault went through
        } else if (worker.next <= group.requests) {
          Spawn(worker, self, stride);
          continue;
        }
        worker.done = true;
      }
    }
    std::erase_if(running, [](const Worker* worker) { return worker->done; });
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf(
      "\n| Group (operation, EEPROM, fault) | Requests | Runs | Completed | Reported | Silent | "
      "Wrong | Hung | Crashed | Failed writes (runs, widest chunk, chunks with mixed bytes) |\n"
      "|---|---|---|---|---|---|---|---|---|---|\n");
  Figures total;
  for (const Worker& worker : queue) {
    const Figures& f = figures[GroupName(worker.group)];
    auto count = [&](const char* outcome) {
      const auto found = f.outcomes.find(outcome);
      return found == f.outcomes.end() ? 0ull : static_cast<unsigned long long>(found->second);
    };
    std::string writes = "-";
    if (worker.group.operation == MatrixOperation::kSave)
      writes = std::to_string(f.failedWrites) + ", " + std::to_string(f.widestChunk) + ", " +
               std::to_string(f.mixedRuns);
    std::printf("| %s %s %s | %llu | %llu | %llu | %llu | %llu | %llu | %llu | %llu | %s |\n",
                Name(worker.group.operation), PartName(worker.group.part).c_str(),
                Name(worker.group.fault), static_cast<unsigned long long>(f.requests),
                static_cast<unsigned long long>(f.runs), count("completed"), count("reported"),
                count("silent"), count("wrong"), count("hung"), count("crashed"), writes.c_str());
    total.runs += f.runs;
    for (const auto& [outcome, n] : f.outcomes)
      total.outcomes[outcome] += n;
    total.failedWrites += f.failedWrites;
    total.widestChunk = std::max(total.widestChunk, f.widestChunk);
    total.mixedRuns += f.mixedRuns;
  }
  auto totalOf = [&](const char* outcome) {
    const auto found = total.outcomes.find(outcome);
    return found == total.outcomes.end() ? 0ull : static_cast<unsigned long long>(found->second);
  };
  std::printf("| all | | %llu | %llu | %llu | %llu | %llu | %llu | %llu | %llu, %u, %llu |\n",
              static_cast<unsigned long long>(total.runs), totalOf("completed"),
              totalOf("reported"), totalOf("silent"), totalOf("wrong"), totalOf("hung"),
              totalOf("crashed"), static_cast<unsigned long long>(total.failedWrites),
              total.widestChunk, static_cast<unsigned long long>(total.mixedRuns));
  std::printf("\n%.0f s, %d worker processes at a time\n", seconds, jobs);
  const bool clean =
      !broken && totalOf("silent") + totalOf("wrong") + totalOf("hung") + totalOf("crashed") == 0;
  return clean ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: fault_matrix_runner [--jobs N] [--stride S] [--only OPERATION:PART]\n"
               "       fault_matrix_runner --group OPERATION:PART:FAULT [--first N] [--last N] "
               "[--stride S]\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> group;
  std::optional<std::string> only;
  uint64_t first = 1;
  uint64_t last = UINT64_MAX;
  uint64_t stride = 1;
  int jobs = 2;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    if (arg == "--group") {
      group = value;
    } else if (arg == "--only") {
      only = value;
    } else if (arg == "--first") {
      first = std::stoull(value);
    } else if (arg == "--last") {
      last = std::stoull(value);
    } else if (arg == "--stride") {
      stride = std::max<uint64_t>(1, std::stoull(value));
    } else if (arg == "--jobs") {
      jobs = std::max(1, std::stoi(value));
    } else {
      return Usage();
    }
  }
  if (!group) {
    // The workers are this program; the supervisor itself needs no Qt.
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return 1;
    self[length] = '\0';
    return RunMatrix(self, jobs, stride, only);
  }
  const std::optional<Group> parsed = ParseGroup(*group);
  if (!parsed) return Usage();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  return RunGroup(*parsed, first, last, stride);
}
