// The paths analysts take from a log to numbers, against the core's own
// speed, on one generated log in one run: the host cycle through the 21
// functions, the native table, the command line tool and the Python package.
// Prints each path's MB/s of log and its ratio to the host cycle's MB/s
// (medians of several runs; the host cycle is measured right before and right
// after every run of a path and its mean speed is the run's reference, so
// drift of a shared machine shows in both). Around every run of one worker
// against two it also prints the host cycle held on each of two processors:
// two workers can gain no more than their two speeds allow. Last comes the
// spread of all the run's host cycles (how much the machine itself moved)
// and the cost of a page fault; paths timed as a whole process print their
// page faults per run, and the map and report commands their peak resident
// memory, the largest of the runs (run on logs of two sizes, it shows
// whether memory grows with the log).
//
//   wendrake_paths_bench [MB] [--python PYTHON] [--skip-python] [--skip-dask] [--only TEXT] [--runs N]
//
// --only times just the paths whose names contain TEXT (the host cycle always);
// --runs takes N runs of each (default 5), for the slow paths of a big log.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/log_generator.h"
#include "bench/timing.h"
#include "wendrake/table.h"
#include "wendrake/wendrake.h"

namespace {

using wendrake_bench::Clock;
using wendrake_bench::Median;
using wendrake_bench::Seconds;
int runs = 5;  // --runs
constexpr size_t kWarmBytes = size_t{3} << 20;

// The host cycle: at most 200 lines per call, every item read, then cleared.
double HostCycle(const std::string& log) {
  const Clock::time_point start = Clock::now();
  DecoderObject* decoder = CreateDecoderObjectProc(WENDRAKE_MODULE_B101);
  uint64_t checksum = 0;
  size_t begin = 0;
  while (begin < log.size()) {
    size_t end = begin;
    for (int lines = 0; lines < 200 && end < log.size(); ++lines) {
      const char* newline = static_cast<const char*>(std::memchr(log.data() + end, '\n', log.size() - end));
      end = newline == nullptr ? log.size() : static_cast<size_t>(newline - log.data()) + 1;
    }
    DecodeMsgProc(decoder, log.data() + begin, static_cast<int>(end - begin));
    const int n = GetReportItemCountProc(decoder);
    for (int i = 0; i < n; ++i) checksum += GetReportItemProc(decoder, i)->msgCode;
    ClearReportItemsProc(decoder);
    begin = end;
  }
  FreeDecoderObjectProc(&decoder);
  const double seconds = Seconds(start);
  if (checksum == 0) std::fprintf(stderr, "no items decoded\n");
  return seconds;
}

// The first two processors this process may run on, or none with fewer.
std::vector<int> TwoProcessors() {
  cpu_set_t allowed;
  std::vector<int> cpus;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE && cpus.size() < 2; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) cpus.push_back(cpu);
  }
  if (cpus.size() < 2) cpus.clear();
  return cpus;
}

// The host cycle with this thread held on one processor. A virtual
// machine's processors may run at different speeds at the same time; two
// workers can then gain no more than the two speeds' sum over the faster.
double HostCycleOn(const std::string& log, int cpu) {
  cpu_set_t allowed, one;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 0;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  if (sched_setaffinity(0, sizeof one, &one) != 0) return 0;
  const double seconds = HostCycle(log);
  sched_setaffinity(0, sizeof allowed, &allowed);
  return seconds;
}

// Page faults so far of this process and of its children that ended.
long PageFaults() {
  long faults = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage usage {};
    if (getrusage(who, &usage) == 0) faults += usage.ru_minflt;
  }
  return faults;
}

// What one page fault costs here: 64 MB of fresh memory written page by
// page, best of three. The host cycle takes no fresh memory once warm, while
// every path that starts a process or builds output does.
double PageFaultMicros() {
  constexpr size_t kBytes = size_t{64} << 20, kPage = 4096;
  double best = 0;
  for (int run = 0; run < 3; ++run) {
    void* map = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return 0;
    auto* bytes = static_cast<volatile char*>(map);
    const Clock::time_point start = Clock::now();
    for (size_t at = 0; at < kBytes; at += kPage) bytes[at] = 1;
    const double micros = Seconds(start) * 1e6 / (kBytes / kPage);
    munmap(map, kBytes);
    if (run == 0 || micros < best) best = micros;
  }
  return best;
}

double TableBuild(const std::string& path, unsigned flags = 0) {
  const Clock::time_point start = Clock::now();
  WendrakeTable* table = nullptr;
  const int result = wendrake_table_from_file(path.c_str(), WENDRAKE_MODULE_B101, flags, &table);
  const double seconds = Seconds(start);
  if (result != WENDRAKE_OK) {
    std::fprintf(stderr, "table: %s\n", wendrake_error_message(result));
    std::exit(1);
  }
  wendrake_table_free(table);
  return seconds;
}

// Runs a shell command and returns its wall time; a command that prints a
// number of seconds on its last line is timed by that number instead (the
// Python paths time themselves, without the interpreter's start).
double Command(const std::string& command) {
  const Clock::time_point start = Clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    std::perror("popen");
    std::exit(1);
  }
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  const double wall = Seconds(start);
  if (status != 0) {
    std::fprintf(stderr, "failed (%d): %s\n", status, command.c_str());
    std::exit(1);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  const size_t lastLine = output.rfind('\n');
  const char* last = output.c_str() + (lastLine == std::string::npos ? 0 : lastLine + 1);
  char* end = nullptr;
  const double reported = std::strtod(last, &end);
  return end != last && *end == '\0' ? reported : wall;
}

// The peak resident memory of the last process Exec ran, in kB.
long lastPeakKb = 0;

// The high-water mark of resident memory (VmHWM) of process `pid` once it
// runs the program named `name` (its name until then is this benchmark's);
// -1 when it does not (yet).
long HighWaterKb(pid_t pid, const std::string& name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  bool running = false;
  while (std::getline(status, line)) {
    if (line.rfind("Name:", 0) == 0) running = line.substr(line.find_first_not_of(" \t", 5)) == name.substr(0, 15);
    if (running && line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Runs the tool with `args`, its standard output thrown away, and returns
// its wall time; its peak resident memory goes to lastPeakKb. The peak is
// read from /proc every 10 ms while it runs, not from wait4: a child forked
// from this process takes this process's peak (the log it holds) with it
// through exec.
double Exec(const std::vector<std::string>& args) {
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  const std::string name = args[0].substr(args[0].rfind('/') + 1);
  int status = 0;
  long peak = 0;
  pid_t done = 0;
  while (child > 0 && (done = waitpid(child, &status, WNOHANG)) == 0) {
    peak = std::max(peak, HighWaterKb(child, name));
    usleep(10000);
  }
  if (child < 0 || done != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s %s\n", args[0].c_str(), args.size() > 1 ? args[1].c_str() : "");
    std::exit(1);
  }
  lastPeakKb = peak;
  return Seconds(start);
}

std::string PythonTimed(const std::string& python, const std::string& setup, const std::string& body) {
  return "PYTHONPATH=" WENDRAKE_SOURCE_DIR "/python WENDRAKE_LIBRARY=" WENDRAKE_LIBRARY_FILE " " +
         python + " -c 'import time\n" + setup + "\nt = time.perf_counter()\n" + body +
         "\nprint(time.perf_counter() - t)'";
}

}  // namespace

int main(int argc, char** argv) {
  double megabytes = 16;
  std::string python = "python3";
  bool skipPython = false, skipDask = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--python" && i + 1 < argc) {
      python = argv[++i];
    } else if (arg == "--skip-python") {
      skipPython = true;
    } else if (arg == "--skip-dask") {
      skipDask = true;
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      megabytes = std::atof(argv[i]);
    }
  }
  const std::string log = wendrake_bench::GenerateLog(static_cast<size_t>(megabytes * 1e6));
  char dir[] = "/tmp/wendrake-paths-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string path = std::string(dir) + "/bench.log";
  std::ofstream(path, std::ios::binary) << log;
  // The log's first 3 MB (some pieces' worth of lines), summarised once by
  // each Dask worker before the clock starts.
  const std::string warmPath = std::string(dir) + "/warm.log";
  const size_t warmEnd = log.size() <= kWarmBytes ? log.size() : log.rfind('\n', kWarmBytes) + 1;
  std::ofstream(warmPath, std::ios::binary) << log.substr(0, warmEnd);
  const double mb = static_cast<double>(log.size()) / 1e6;
  const std::string cli = WENDRAKE_CLI_FILE;
  setenv("TZ", "UTC0", 1);

  struct Path {
    std::string name;
    std::function<double()> time;
    double logs = 1;  // logs of this size the path handles per run
    int group = 0;    // paths of one group (not 0) alternate run by run
    bool whole = true;  // timed from start to end (not from inside Python)
    bool peak = false;  // run by Exec, its peak memory printed
  };
  // Groups: one worker against two (kWorkersGroup), the table with and
  // without its record fields or its messages.
  constexpr int kWorkersGroup = 1, kFieldsGroup = 2;
  std::vector<Path> paths = {
      // With the record fields, alternating with the plain build: the
      // fields' cost is the difference.
      {"table build (C++)", [&] { return TableBuild(path); }, 1, kFieldsGroup},
      {"table build + fields (C++)", [&] { return TableBuild(path, WENDRAKE_TABLE_RECORD_FIELDS); }, 1,
       kFieldsGroup},
      // The messages table (every signalling message's fields), on request.
      {"table build + messages (C++)", [&] { return TableBuild(path, WENDRAKE_TABLE_MESSAGES); }, 1,
       kFieldsGroup},
      {"stats", [&] { return Command(cli + " stats " + path + " > /dev/null"); }},
      {"params --csv", [&] { return Command(cli + " params --csv " + path + " > /dev/null"); }},
      {"decode --format jsonl", [&] { return Command(cli + " decode --format jsonl " + path + " > /dev/null"); }},
      // The drive's views, read piece by piece: their peak memory must not
      // grow with the log.
      {"map to GeoPackage", [&] { return Exec({cli, "map", path, "-o", std::string(dir) + "/map.gpkg"}); }, 1, 0,
       true, true},
      {"map to GeoJSON", [&] { return Exec({cli, "map", path, "-o", std::string(dir) + "/map.geojson"}); }, 1, 0,
       true, true},
      {"report", [&] { return Exec({cli, "report", path, "-o", std::string(dir) + "/report.html"}); }, 1, 0, true,
       true},
  };
  if (!skipPython) {
    // Imports happen before the clock starts: an analyst pays them once.
    paths.push_back({"Python to_dataframe", [&] {
                       return Command(PythonTimed(python, "import wendrake, numpy, pandas",
                                                  "wendrake.to_dataframe(\"" + path + "\")"));
                     }, 1, 0, false});
    paths.push_back({"Python decode_file", [&] {
                       return Command(PythonTimed(python, "import wendrake",
                                                  "with wendrake.decode_file(\"" + path +
                                                      "\") as items:\n    n = sum(1 for _ in items)"));
                     }, 1, 0, false});
  }
  if (!skipPython && !skipDask) {
    for (int workers : {1, 2}) {
      // The local cluster starts before the clock, and each worker runs
      // one task on the warm-up log: it loads the package and the library,
      // starts the thread its tasks run on and takes the memory a summary
      // works in. Fixed costs, the same for any number of logs.
      const std::string setup =
          "from wendrake.dask import decode_many\nfrom distributed import Client, LocalCluster\n"
          "cluster = LocalCluster(n_workers=" + std::to_string(workers) +
          ", threads_per_worker=1, processes=True, host=\"127.0.0.1\", dashboard_address=\"127.0.0.1:0\")\n"
          "client = Client(cluster)\n"
          "from wendrake.summary import summarize\n"
          "client.gather([client.submit(summarize, \"" + warmPath +
          "\", workers=[w], pure=False) for w in client.scheduler_info()[\"workers\"]])";
      const std::string body = "decode_many([\"" + path + "\"] * 8, client)";
      paths.push_back({"decode_many 8 logs, " + std::to_string(workers) + " worker" + (workers > 1 ? "s" : ""),
                       [&, setup, body] { return Command(PythonTimed(python, setup, body)); }, 8, kWorkersGroup,
                       false});
    }
  }

  std::erase_if(paths, [&](const Path& p) { return p.name.find(only) == std::string::npos; });
  std::printf("log: %.1f MB, medians of %d runs, each run of a path between two host cycles\n\n", mb, runs);
  std::printf("%-30s %10s %10s %12s %10s\n", "path", "MB/s", "vs core", "page faults", "peak MB");
  std::vector<double> core, coreFaults;
  for (int run = 0; run < runs; ++run) {
    const long faultsBefore = PageFaults();
    core.push_back(mb / HostCycle(log));
    coreFaults.push_back(static_cast<double>(PageFaults() - faultsBefore));
  }
  // Every host cycle of the run, for its spread: the same work in the same
  // memory, so the spread is the machine's, not the paths'.
  std::vector<double> allCore = core;
  std::printf("%-30s %10.1f %9.2fx %12.0f\n", "host cycle (21 functions)", Median(core), 1.0, Median(coreFaults));
  const std::vector<int> cpus = TwoProcessors();
  // The paths of a group alternate run by run, so that comparing them (one
  // worker against two) sees the same machine, whatever its drift; each
  // processor's own speed is taken before and after every run.
  for (size_t first = 0; first < paths.size();) {
    size_t end = first + 1;
    while (end < paths.size() && paths[first].group != 0 && paths[end].group == paths[first].group) ++end;
    std::vector<std::vector<double>> speeds(end - first), ratios(end - first), faults(end - first),
        peaks(end - first);
    std::vector<double> slower, faster, ceilings;
    const bool perProcessor = end - first == 2 && !cpus.empty() && paths[first].group == kWorkersGroup;
    for (int run = 0; run < runs; ++run) {
      double cpuSpeed[2] = {0, 0};
      auto measureProcessors = [&] {
        for (int i = 0; i < 2; ++i) cpuSpeed[i] += mb / HostCycleOn(log, cpus[static_cast<size_t>(i)]) / 2;
      };
      if (perProcessor) measureProcessors();
      for (size_t k = first; k < end; ++k) {
        const double before = mb / HostCycle(log);
        const long faultsBefore = PageFaults();
        const double speed = mb * paths[k].logs / paths[k].time();
        faults[k - first].push_back(static_cast<double>(PageFaults() - faultsBefore));
        peaks[k - first].push_back(static_cast<double>(lastPeakKb) / 1024);
        const double after = mb / HostCycle(log);
        allCore.push_back(before);
        allCore.push_back(after);
        speeds[k - first].push_back(speed);
        ratios[k - first].push_back(speed / ((before + after) / 2));
      }
      if (perProcessor) {
        measureProcessors();
        slower.push_back(std::min(cpuSpeed[0], cpuSpeed[1]));
        faster.push_back(std::max(cpuSpeed[0], cpuSpeed[1]));
        ceilings.push_back((cpuSpeed[0] + cpuSpeed[1]) / faster.back());
      }
    }
    for (size_t k = first; k < end; ++k) {
      std::printf("%-30s %10.1f %9.2fx", paths[k].name.c_str(), Median(speeds[k - first]),
                  Median(ratios[k - first]));
      if (paths[k].whole) std::printf(" %12.0f", Median(faults[k - first]));
      if (paths[k].peak) std::printf(" %10.0f", *std::max_element(peaks[k - first].begin(), peaks[k - first].end()));
      std::printf("\n");
    }
    for (size_t k = first + 1; k < end; ++k) {
      std::vector<double> gains;
      for (int run = 0; run < runs; ++run) gains.push_back(speeds[k - first][run] / speeds[0][run]);
      const std::string label = end - first == 2 ? "  second / first, run by run" : "  " + paths[k].name + " / first";
      std::printf("%-30s %10s %9.2fx\n", label.c_str(), "", Median(gains));
    }
    if (perProcessor) {
      std::printf("  host cycle held on each of two processors: %.1f and %.1f MB/s; two workers\n"
                  "  can gain at most their sum over the faster: %.2fx (medians, run by run)\n",
                  Median(faster), Median(slower), Median(ceilings));
    }
    std::fflush(stdout);
    first = end;
  }
  std::printf("\nhost cycle over the run: %.1f to %.1f MB/s in %zu runs\n",
              *std::min_element(allCore.begin(), allCore.end()), *std::max_element(allCore.begin(), allCore.end()),
              allCore.size());
  std::printf("a page fault (fresh memory) costs %.2f us here\n", PageFaultMicros());
  std::remove(path.c_str());
  std::remove(warmPath.c_str());
  for (const char* output : {"/map.gpkg", "/map.geojson", "/report.html"}) {
    std::remove((std::string(dir) + output).c_str());
  }
  rmdir(dir);
  return 0;
}
