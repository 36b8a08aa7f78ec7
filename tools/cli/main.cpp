// wendrake: command line host of the decoder library.
//
//   wendrake decode LOG|- [--module M] [--format jsonl|csv|text|summary] [-o FILE]
//   wendrake stats  LOG|- [--module M] [--json] [-o FILE]
//   wendrake params LOG|- --csv [--module M] [-o FILE]
//
// Exit status: 0 success, 2 usage or file error (one line on standard
// error), 1 anything unexpected. Nothing escapes main.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>

#include "formatters.h"
#include "host_cycle.h"
#include "log_reader.h"
#include "output.h"
#include "params_table.h"
#include "stats.h"
#include "wendrake/wendrake.h"

namespace wendrake_cli {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct ModuleName {
  const char* name;
  int type;
};
constexpr ModuleName kModules[] = {{"B101", WENDRAKE_MODULE_B101},
                                   {"B200", WENDRAKE_MODULE_B200},
                                   {"B20A", WENDRAKE_MODULE_B20A},
                                   {"B20B", WENDRAKE_MODULE_B20B},
                                   {"BD00", WENDRAKE_MODULE_BD00}};

struct Options {
  std::string log;
  std::string module = "B101";
  std::string format = "jsonl";
  std::string output;
  bool csv = false;
  bool json = false;
};

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "wendrake: %s\n", message.c_str());
  return status;
}

// Module type of a name such as "B101" or "b101"; 0 when unknown.
int ModuleType(std::string* name) {
  for (char& c : *name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const ModuleName& m : kModules) {
    if (*name == m.name) return m.type;
  }
  return 0;
}

// Opens the log and the output, then decodes with `sink`. 0 or an exit status.
int Decode(const Options& options, LogReader& reader, ItemSink& sink) {
  std::string module = options.module;
  const int moduleType = ModuleType(&module);
  std::string error;
  if (!DecodeLog(reader, moduleType, sink, &error)) return Fail(kExitUsage, error);
  return 0;
}

int Prepare(Options* options, LogReader* reader, bool rewindable, Output* out) {
  if (ModuleType(&options->module) == 0) {
    return Fail(kExitUsage, "unknown module type '" + options->module +
                                "' (expected B101, B200, B20A, B20B or BD00)");
  }
  std::string error;
  if (!reader->Open(options->log, rewindable, &error)) return Fail(kExitUsage, error);
  if (!out->Open(options->output, &error)) return Fail(kExitUsage, error);
  return 0;
}

int Finish(Output* out) {
  std::string error;
  return out->Close(&error) ? 0 : Fail(kExitUsage, error);
}

int RunDecode(Options options) {
  bool known = false;
  for (std::string_view format : kFormats) known = known || format == options.format;
  if (!known) {
    return Fail(kExitUsage, "unknown format '" + options.format + "' (expected jsonl, csv, text or summary)");
  }
  LogReader reader;
  Output out;
  if (int status = Prepare(&options, &reader, false, &out)) return status;
  std::unique_ptr<ItemSink> formatter = MakeFormatter(options.format, &out);
  if (int status = Decode(options, reader, *formatter)) return status;
  return Finish(&out);
}

int RunStats(Options options) {
  LogReader reader;
  Output out;
  if (int status = Prepare(&options, &reader, false, &out)) return status;
  Stats stats;
  if (int status = Decode(options, reader, stats)) return status;
  out.Write(options.json ? stats.Json() : stats.Text(reader.name(), options.module));
  return Finish(&out);
}

int RunParams(Options options) {
  LogReader reader;
  Output out;
  // Two passes: the columns are known only after the whole log is read,
  // and keeping every row in memory would not scale to long drives.
  if (int status = Prepare(&options, &reader, true, &out)) return status;
  ParamColumns columns;
  if (int status = Decode(options, reader, columns)) return status;
  std::string error;
  if (!reader.Rewind(&error)) return Fail(kExitUsage, error);
  ParamRows rows(columns.Ids(), &out);
  if (int status = Decode(options, reader, rows)) return status;
  return Finish(&out);
}

std::string Version() {
  return fmt::format("wendrake {}.{}.{}", WENDRAKE_VERSION_MAJOR, WENDRAKE_VERSION_MINOR,
                     WENDRAKE_VERSION_PATCH);
}

void AddCommon(CLI::App* command, Options* options) {
  command->add_option("LOG", options->log, "log file to read, or - for standard input")->required();
  command->add_option("-m,--module", options->module, "chip module type: B101, B200, B20A, B20B or BD00")
      ->capture_default_str();
  command->add_option("-o,--output", options->output, "write to FILE instead of standard output")
      ->option_text("FILE");
}

int Run(int argc, char** argv) {
  // The decoder stamps items with mktime(log clock) + 28800, so stamps follow
  // the host's time zone. Fixing it to UTC makes the output the same on every
  // machine: stored seconds - 28800 is then the log's own clock.
  setenv("TZ", "UTC0", 1);
  tzset();

  CLI::App app("Decodes CDMA 1x / EV-DO drive-test text logs into report items.", "wendrake");
  app.set_version_flag("--version", Version());
  app.require_subcommand(1);
  app.footer(
      "Time stamps: the tool runs with TZ=UTC0, so a stored stamp minus 28800 s is the log's own\n"
      "clock; ISO times show that clock. Exit status: 0 success, 2 usage or file error.");

  Options options;
  CLI::App* decode = app.add_subcommand("decode", "print every report item with its line");
  AddCommon(decode, &options);
  decode->add_option("-f,--format", options.format, "jsonl, csv, text, or summary (one line per item)")
      ->capture_default_str();
  CLI::App* stats = app.add_subcommand("stats", "summarise a log: items, codes, time span, parameters");
  AddCommon(stats, &options);
  stats->add_flag("--json", options.json, "print the numbers as one JSON object");
  CLI::App* params = app.add_subcommand("params", "table of parameter values, one row per item");
  AddCommon(params, &options);
  params->add_flag("--csv", options.csv, "write CSV (the only table format, and the default)");

  // CLI11 reports any unknown first word as a missing subcommand; name it.
  const std::string first = argc > 1 ? argv[1] : "";
  if (!first.empty() && first[0] != '-' && first != "decode" && first != "stats" && first != "params") {
    return Fail(kExitUsage, fmt::format("unknown subcommand '{}' (expected decode, stats or params)", first));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return Fail(kExitUsage, e.what());
  }

  if (decode->parsed()) return RunDecode(options);
  if (stats->parsed()) return RunStats(options);
  return RunParams(options);
}

}  // namespace
}  // namespace wendrake_cli

int main(int argc, char** argv) {
  try {
    return wendrake_cli::Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wendrake: internal error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "wendrake: internal error\n");
  }
  return wendrake_cli::kExitFailure;
}
