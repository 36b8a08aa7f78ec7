#include "bench/log_generator.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace wendrake_bench {
namespace {

class Writer {
 public:
  explicit Writer(std::string* out) : out_(out) {}

  template <typename... Args>
  void Line(const char* format, Args... args) {
    char line[1024];
    const int n = std::snprintf(line, sizeof line, format, args...);
    out_->append(line, static_cast<size_t>(n));
    out_->push_back('\n');
  }

 private:
  std::string* out_;
};

constexpr const char* kHeader[] = {
    "FileInfo\tTool\twendrake bench",
    "RegReport\tDM\tRxagc\tTxpower\tTxgainadj\tTotal_EcIo\tTotal_Ec\tMaxEcIo\tReferenceEcIo\tFFER\tRxAGC0\tRxAGC1\tTotal_C/I\tTotal_SINR\tDRC_Rate\tActivesetcount\tFingerCount",
    "RegReport\tSC\tFreq\tRefPN\tPRev\tEV_Revision\tEV_Sector_User_Served\tSID\tNID",
    "RegReport\tPCP\tTxOpenLoopPower\tTxClosedloopadjust\tPA_State",
    "RegReport\tC1XQI\tRlprx_Rate\tRlptx_Rate\tRlperr_Rate\tPhysrx_Rate\tPhystx_Rate\tEV_RxRLPThroughput\tEV_TxRLPThroughput\tEV_RxPER",
    "RegReport\tEVT\tEvent\tDescription",
    "RegReport\tCEVS\tSession_State\tAT_State\tALMP_State\tInit_State\tIdle_State\tOverhead_State\tConnected_State\tRoute_Update_State\tHDR_HybridMode_State",
    "RegReport\tHOP\tPN\tEc_Io\tWindow",
    "DAY\t2011\t10\t19",
};

// A paging-channel order message and an EV-DO signalling message, as hex.
std::string MessageHex(uint16_t logCode, const uint8_t* payload, size_t payloadSize) {
  const size_t length = 12 + payloadSize;
  uint8_t bytes[64] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                       static_cast<uint8_t>(logCode), static_cast<uint8_t>(logCode >> 8)};
  for (size_t i = 0; i < 8; ++i) bytes[4 + i] = static_cast<uint8_t>(0x30 + i);
  for (size_t i = 0; i < payloadSize; ++i) bytes[12 + i] = payload[i];
  std::string hex;
  char pair[3];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    hex += pair;
  }
  return hex;
}

}  // namespace

std::string GenerateLog(size_t targetBytes, unsigned seed) {
  std::string log;
  log.reserve(targetBytes + 4096);
  Writer w(&log);
  for (const char* line : kHeader) w.Line("%s", line);

  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-1.0, 1.0);
  double rxagc = -80, ecio = -8, txpower = 0, rate = 50;
  const uint8_t pagingOrder[] = {0x00, 0x07, 0x12, 0x34, 0x56, 0x00, 0x91, 0x00, 0x00, 0x00};
  const uint8_t evdoMessage[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x20,
                                 0x08, 0x09, 0x0A, 0x04, 0x10, 0x00};
  const std::string paging = MessageHex(0x1007, pagingOrder, sizeof pagingOrder);
  const std::string evdo = MessageHex(0x1078, evdoMessage, sizeof evdoMessage);

  for (unsigned second = 0; log.size() < targetBytes; ++second) {
    const unsigned s = second % 60, m = (second / 60) % 60, h = 8 + (second / 3600) % 16;
    if (s == 0) {
      if (m == 0) w.Line("HOUR\t%u", h);
      w.Line("MIN\t%u", m);
    }
    // Several reports per second, as a handset logs them.
    for (unsigned tick = 0; tick < 4; ++tick) {
      w.Line("SEC\t%u\t%u", s, tick * 250);
      rxagc = std::min(-60.0, std::max(-100.0, rxagc + jitter(rng)));
      ecio = std::min(0.0, std::max(-20.0, ecio + 0.3 * jitter(rng)));
      txpower = std::min(23.0, std::max(-40.0, txpower + jitter(rng)));
      rate = std::min(153.6, std::max(0.0, rate + 5 * jitter(rng)));
      w.Line("DM\t%.1f\t%.2f\t%.2f\t%.1f\t%.1f\t%.1f\t%.1f\t%.2f\t%.1f\t%.1f\t%.2f\t%.2f\t%d\t%d\t%d", rxagc,
             txpower, txpower / 2, ecio, rxagc + ecio, ecio + 1, ecio - 0.5, 0.5 + jitter(rng), rxagc + 1,
             rxagc - 1, 10 + 5 * jitter(rng), 8 + 4 * jitter(rng), 1228 + 100 * tick, 3, 6);
      w.Line("PCP\t%.2f\t%.2f\t%d", -73 - rxagc, txpower + 73 + rxagc, 2);
      w.Line("C1XQI\t%.1f\t%.1f\t%.2f\t%.1f\t%.1f\t%.1f\t%.1f\t%.2f", rate, rate / 4, 0.5 + 0.5 * jitter(rng),
             rate * 1.1, rate / 3, rate * 20, rate * 2, 1 + jitter(rng));
      if (tick == 0) {
        w.Line("SC\t%d\t%d\t%d\t%d\t%d\t%d\t%d", 283, 120 + (second / 30) % 8 * 4, 6, 1, 3, 4139, 2);
        w.Line("GPS\t%.6f\t%.6f\t%.1f", 31.2 + second * 1e-5, 121.4 + second * 1e-5, 12.5);
        w.Line("HOP\t%d\t%.1f\t%d", 120, ecio, 10);
      }
      if (tick == 2) {
        w.Line("CL3\t0\t1\t%s", paging.c_str());
        w.Line("CL3\t0\t8\t%s", evdo.c_str());
      }
    }
    if (second % 10 == 0) w.Line("EVT\t%X\tIdle handoff", 0x100 + second % 7);
    if (second % 5 == 0) {
      const int at = 3 + static_cast<int>((second / 5) % 3);
      w.Line("CEVS\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d", 3, at, 3, 0, at == 3 ? 3 : 2, 1, at == 5 ? 2 : 0, 1,
             1);
    }
  }
  return log;
}

}  // namespace wendrake_bench
