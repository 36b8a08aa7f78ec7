// wendrake: command line host of the decoder library.
//
//   wendrake decode LOG|- [--module M] [--format jsonl|csv|text|summary] [-o FILE]
//   wendrake stats  LOG|- [--module M] [--json] [-o FILE]
//   wendrake params LOG|- --csv [--units] [--record-fields] [--module M] [-o FILE]
//   wendrake map    LOG|- -o route.gpkg|.geojson|.kml [--kpi NAME] [--module M]
//   wendrake report LOG|- -o report.html [--kpi NAME] [--module M]
//
// Exit status: 0 success, 2 usage, file or write error (one line on
// standard error), 1 anything unexpected. Nothing escapes main. A pipe
// whose reader went away ends the tool quietly by SIGPIPE (io/signal_cleanup.h).
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include "commands/formatters.h"
#include "commands/host_cycle.h"
#include "commands/params_table.h"
#include "commands/stats.h"
#include "commands/view_commands.h"
#include "format/ascii_case.h"
#include "format/text_escape.h"
#include "io/empty_input.h"
#include "io/log_bytes.h"
#include "io/log_reader.h"
#include "io/log_table.h"
#include "io/output.h"
#include "io/signal_cleanup.h"
#include "wendrake/wendrake.h"

namespace wendrake_cli {
namespace {

constexpr int kExitUsage = 2;    // usage, input or output errors
constexpr int kExitFailure = 1;  // an internal error

// A module type's name is its number in four hexadecimal digits.
constexpr int kModuleTypes[] = {WENDRAKE_MODULE_B101, WENDRAKE_MODULE_B200, WENDRAKE_MODULE_B20A,
                                WENDRAKE_MODULE_B20B, WENDRAKE_MODULE_BD00};

struct Options {
  std::string log;
  std::string module = "B101";
  std::string format = "jsonl";
  std::string output = "-";
  int moduleType = 0;  // set from `module` by Prepare
  bool csv = false;
  bool units = false;
  bool json = false;
  bool recordFields = false;
};

// Messages quote file names and option values as given: escaped, so that
// control bytes in them cannot rewrite the terminal or split the line.
void Notice(const std::string& message) { std::fprintf(stderr, "wendrake: %s\n", OneLine(message).c_str()); }

int Fail(int status, const std::string& message) {
  Notice(message);
  return status;
}

// Module type of "B101", "b101" or "0xB101" (hexadecimal, any case), with
// its canonical name; 0 when unknown.
int ModuleType(const std::string& given, std::string* name) {
  std::string upper = given;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("0X", 0) == 0) upper.erase(0, 2);
  for (int type : kModuleTypes) {
    if (upper == fmt::format("{:04X}", type)) {
      *name = upper;
      return type;
    }
  }
  return 0;
}

// Opens the log, then the output (never before the input is known, so the
// output cannot truncate it).
int Prepare(Options* options, LogReader* reader, Output* out) {
  options->moduleType = ModuleType(options->module, &options->module);
  if (options->moduleType == 0) {
    return Fail(kExitUsage, "unknown module type '" + options->module +
                                "' (expected B101, B200, B20A, B20B or BD00, or 0xB101 and so on)");
  }
  std::string error;
  if (!reader->Open(options->log, false, &error)) return Fail(kExitUsage, error);
  if (!out->Open(options->output, reader->identity(), &error)) return Fail(kExitUsage, error);
  return 0;
}

// Says on standard error what the output alone would not show. `profile`
// gives the InputProfile, asked for only when the log yielded no item.
template <typename Profile>
void Explain(const std::string& name, uint64_t lines, uint64_t items, bool unterminatedLast, Profile profile) {
  if (unterminatedLast) {
    Notice(fmt::format("the last line of {} (line {}) has no newline; decoded it as if it had one", name, lines));
  }
  if (items == 0) {
    const std::string why = WhyNoItems(profile(), lines);
    if (!why.empty()) Notice("no report item in " + name + ": " + why);
  }
}

int Finish(Output* out) {
  std::string error;
  return out->Close(&error) ? 0 : Fail(kExitUsage, error);
}

int RunDecode(Options options) {
  options.format = Lower(options.format);
  bool known = false;
  for (std::string_view format : kFormats) known = known || format == options.format;
  if (!known) {
    return Fail(kExitUsage, "unknown format '" + options.format + "' (expected jsonl, csv, text or summary)");
  }
  LogReader reader;
  Output out;
  if (int status = Prepare(&options, &reader, &out)) return status;
  std::unique_ptr<Formatter> formatter = MakeFormatter(options.format, &out);
  DecodeSummary summary;
  std::string error;
  if (!DecodeLog(reader, options.moduleType, !out.SharesTerminalWithStderr(), *formatter, &summary, &error)) {
    return Fail(kExitUsage, error);
  }
  formatter->Flush();
  Explain(reader.name(), summary.lines, summary.items, summary.unterminatedLast, [&] { return reader.profile(); });
  return Finish(&out);
}

// stats and params read the log piece by piece into tables: many times
// faster than reading items one by one, in the memory of one piece.
template <typename Consumer>
int ReadPieces(const Options& options, const LogReader& reader, const LogBytes& log, unsigned flags,
               Consumer* consumer) {
  LogPieces pieces(log.bytes(), options.moduleType, flags, reader.name());
  LogTable piece;
  std::string error;
  while (pieces.Next(&piece, &error)) consumer->AddPiece(piece);
  if (!error.empty()) return Fail(kExitUsage, error);
  Explain(reader.name(), pieces.lines(), pieces.rows(), pieces.unterminated(), [&] { return log.Profile(); });
  return 0;
}

int RunStats(Options options) {
  LogReader reader;
  Output out;
  if (int status = Prepare(&options, &reader, &out)) return status;
  LogBytes log;
  std::string error;
  if (!log.Load(reader, &error)) return Fail(kExitUsage, error);
  Stats stats(log.bytes());
  if (int status = ReadPieces(options, reader, log, Stats::kTableFlags, &stats)) return status;
  stats.Finish();
  out.Write(options.json ? stats.Json() : stats.Text(reader.name(), options.module));
  return Finish(&out);
}

int RunParams(Options options) {
  LogReader reader;
  Output out;
  if (int status = Prepare(&options, &reader, &out)) return status;
  LogBytes log;
  std::string error;
  if (!log.Load(reader, &error)) return Fail(kExitUsage, error);
  ParamsCsv csv(log.bytes().size(), options.recordFields);
  const unsigned flags = ParamsCsv::kTableFlags | (options.recordFields ? WENDRAKE_TABLE_RECORD_FIELDS : 0u);
  if (int status = ReadPieces(options, reader, log, flags, &csv)) return status;
  BufferedWriter writer(&out);
  csv.Write(log.bytes(), &writer, options.units);
  return Finish(&out);
}

std::string Version() {
  return fmt::format("wendrake {}.{}.{}", WENDRAKE_VERSION_MAJOR, WENDRAKE_VERSION_MINOR,
                     WENDRAKE_VERSION_PATCH);
}

// Help and version go to standard output through iostreams; a failed write
// there is an error like any other. errno is cleared before the printing,
// whose failed write sets it.
template <typename Print>
int PrintToStdout(Print print) {
  errno = 0;
  const int status = print();
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return Fail(kExitUsage, std::string("cannot write standard output: ") + std::strerror(errno != 0 ? errno : EIO));
  }
  return status;
}

void AddCommon(CLI::App* command, Options* options) {
  command->add_option("LOG", options->log, "log file to read, or - for standard input")->required();
  command->add_option("-m,--module", options->module,
                      "chip module type: B101, B200, B20A, B20B or BD00 (any case, 0x prefix allowed)")
      ->capture_default_str();
  command->add_option("-o,--output", options->output, "write to FILE instead of standard output")
      ->option_text("FILE");
}

int Run(int argc, char** argv) {
  // The decoder stamps items with mktime(log clock) + WENDRAKE_STAMP_OFFSET,
  // so stamps follow the host's time zone. Fixing it to UTC makes the output
  // the same on every machine: stored seconds - offset is then the log's own clock.
  setenv("TZ", "UTC0", 1);
  tzset();
  InstallSignalCleanup();

  CLI::App app("Decodes CDMA 1x / EV-DO drive-test text logs into report items.", "wendrake");
  app.set_version_flag("--version", Version());
  app.require_subcommand(1);
  app.footer(fmt::format(
      "Time stamps: the tool runs with TZ=UTC0, so a stored stamp minus {} s is the log's own\n"
      "clock; ISO times show that clock. A last line without a newline is decoded as if it had\n"
      "one (said on standard error). Exit status: 0 success, 2 usage, file or write error.",
      WENDRAKE_STAMP_OFFSET));

  Options options;
  CLI::App* decode = app.add_subcommand("decode", "print every report item with its line");
  AddCommon(decode, &options);
  decode->add_option("-f,--format", options.format, "jsonl, csv, text, or summary (one line per item; any case)")
      ->capture_default_str();
  CLI::App* stats = app.add_subcommand("stats", "summarise a log: items, codes, time span, parameters");
  AddCommon(stats, &options);
  stats->add_flag("--json", options.json, "print the numbers as one JSON object");
  stats->footer(fmt::format(
      "The time span runs from the earliest to the latest clock of any item; times the clock goes\n"
      "back are counted. An EV-DO state change is an item whose current parameters set 0x{:08X}\n"
      "to a value other than the last value set before it; the first value set is no change. Line\n"
      "numbers count every physical line from 1, a last line without newline included.",
      WENDRAKE_PARAM_EVDO_STATE));
  CLI::App* params = app.add_subcommand("params", "table of parameter values, one row per item");
  AddCommon(params, &options);
  params->add_flag("--csv", options.csv, "write CSV (the only table format, and the default)");
  params->add_flag("--units", options.units, "follow each column name that has a unit with it: \"Rxagc [dBm]\"");
  params->add_flag("--record-fields", options.recordFields,
                   "also a column per record field the parameters leave out, e.g. HOP.SetType, SC.BaseID, "
                   "EVT.Payload: the value on rows of that record's lines");

  ViewOptions view;
  CLI::App* map = AddMapCommand(app, &view);
  CLI::App* report = AddReportCommand(app, &view);

  // CLI11 reports an unknown first word, or an option before the
  // subcommand, as a missing subcommand; name it instead.
  const std::string first = argc > 1 ? argv[1] : "";
  if (!first.empty() && first[0] != '-' && first != "decode" && first != "stats" && first != "params" &&
      first != "map" && first != "report") {
    return Fail(kExitUsage, fmt::format("unknown subcommand '{}' (expected decode, stats, params, map or report)", first));
  }
  if (!first.empty() && first[0] == '-' && first != "-h" && first != "--help" && first != "--version") {
    return Fail(kExitUsage, fmt::format("unknown option '{}' (options follow the subcommand: wendrake decode LOG {})",
                                        first, first));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return PrintToStdout([&] { return app.exit(e); });
  } catch (const CLI::CallForAllHelp& e) {
    return PrintToStdout([&] { return app.exit(e); });
  } catch (const CLI::CallForVersion& e) {
    return PrintToStdout([&] { return app.exit(e); });
  } catch (const CLI::ParseError& e) {
    return Fail(kExitUsage, e.what());
  }

  try {
    if (decode->parsed()) return RunDecode(options);
    if (stats->parsed()) return RunStats(options);
    if (map->parsed() || report->parsed()) {
      const int type = ModuleType(view.module, &view.module);
      if (type == 0) return Fail(kExitUsage, "unknown module type '" + view.module + "'");
      std::string error;
      const int status = map->parsed() ? RunMap(view, type, &error) : RunReport(view, type, &error);
      return status == 0 ? 0 : Fail(status, error);
    }
    return RunParams(options);
  } catch (const WriteError& e) {
    // Thrown at the first failed write; the output's destructor has removed
    // its temporary file on the way here.
    return Fail(kExitUsage, e.what());
  } catch (const std::bad_alloc&) {
    // The same: no half-written output is left under its name.
    return Fail(kExitFailure, "out of memory");
  }
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
