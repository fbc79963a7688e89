#include "signals.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace velkemu {

const char *const kDefaultSignals = "A=sine:1000:2000,"
                                    "B=square:1000:1000:0:90,"
                                    "X=square:1000:2500:2500,"
                                    "D0-D7=counter:100000,"
                                    "D8=uart:9600:8N1:Hello from Velk\\r\\n,"
                                    "D9=clock:10000,"
                                    "D10=clock:1000,"
                                    "D11=clock:100000:25,"
                                    "D12=pattern:0110:1000,"
                                    "D13=clock:1000000,"
                                    "D14=clock:5000:10,"
                                    "D15=pattern:1110010:20000,"
                                    "D16-D23=counter:1000,"
                                    "D24=clock:500,"
                                    "D25=clock:2000,"
                                    "D26=clock:20000,"
                                    "D27=clock:50000,"
                                    "D28=clock:200000,"
                                    "D29=clock:2000000,"
                                    "D30=uart:115200:8N1:0123456789\\r\\n,"
                                    "D31=clock:5000000,"
                                    "CLK=clock:1000000";

namespace {

constexpr double kTwoPi = 6.283185307179586;

int64_t FloorMod(int64_t a, int64_t n) {
  int64_t m = a % n;
  return m < 0 ? m + n : m;
}

// floor() without the library call: a sample costs a few nanoseconds, and a
// full memory is half a million samples per channel.
inline double Floor(double x) {
  double t = static_cast<double>(static_cast<int64_t>(x));
  return t > x ? t - 1 : t;
}

// sin(2π × cycle) for cycle in [0, 1), folded to ±a quarter cycle and summed
// as its series to x^13 (error below 1e-9): several times faster than sin().
inline double SineOfCycle(double cycle) {
  double u = cycle < 0.25 ? cycle : cycle < 0.75 ? 0.5 - cycle : cycle - 1.0;
  double x = kTwoPi * u, x2 = x * x;
  double p = 1.0 / 6227020800.0;
  p = p * x2 - 1.0 / 39916800.0;
  p = p * x2 + 1.0 / 362880.0;
  p = p * x2 - 1.0 / 5040.0;
  p = p * x2 + 1.0 / 120.0;
  p = p * x2 - 1.0 / 6.0;
  return x + x * x2 * p;
}

} // namespace

// ---- analog ----

double TAnalogSignal::MilliVolts(double t) const {
  if (kind == kDc) return offset;
  double cycle = t * frequency + phase;
  cycle -= Floor(cycle);
  switch (kind) {
  case kSine:
    return offset + amplitude * SineOfCycle(cycle);
  case kSquare:
    return offset + (cycle < duty ? amplitude : -amplitude);
  case kTriangle: {
    double shape = cycle < 0.25 ? 4 * cycle : cycle < 0.75 ? 2 - 4 * cycle : 4 * cycle - 4;
    return offset + amplitude * shape;
  }
  case kDc:
    break;
  }
  return offset;
}

double TAnalogSignal::Mean() const {
  return kind == kSquare ? offset + amplitude * (2 * duty - 1) : offset;
}

// ---- logic ----

// One formula for every path: the run filler, the sample-by-sample filler
// and single levels must agree on every sample.
int64_t TDigitalSignal::Slot(const TTimebase &tb, int64_t k) const {
  return static_cast<int64_t>(
      Floor(static_cast<double>(k) * (tb.period * rate) + (tb.start * rate + offset)));
}

bool TDigitalSignal::Level(const TTimebase &tb, int64_t k) const {
  return slots[FloorMod(Slot(tb, k), static_cast<int64_t>(slots.size()))] != 0;
}

void TDigitalSignal::Finish() {
  const size_t n = slots.size();
  runs.assign(n, 0);
  if (std::all_of(slots.begin(), slots.end(), [&](uint8_t s) { return s == slots[0]; })) return;
  // Walking backwards twice around the cycle gives every slot its distance to
  // the next change, also across the end of the sequence.
  uint32_t distance = 0;
  for (size_t step = 0; step < 2 * n; ++step) {
    size_t p = (2 * n - 1 - step) % n;
    size_t next = (p + 1) % n;
    distance = slots[next] != slots[p] ? 1 : distance + 1;
    runs[p] = distance;
  }
}

// A sample's slot never decreases with k, so the samples of one run of equal
// slots form one stretch: its end is estimated from the time of the next
// change and then settled with the same Slot() every sample is judged by.
void TDigitalSignal::Fill(const TTimebase &tb, int64_t k0, size_t n, uint32_t bit,
                          uint32_t *words) const {
  const int64_t len = static_cast<int64_t>(slots.size());
  if (n == 0) return;
  if (runs[0] == 0) {
    if (slots[0])
      for (size_t i = 0; i < n; ++i)
        words[i] |= bit;
    return;
  }
  if (rate * tb.period >= 0.25) {
    // Sample by sample, without a division or a branch on the level.
    if ((len & (len - 1)) == 0) {
      for (size_t i = 0; i < n; ++i)
        words[i] |= bit & (0u - slots[Slot(tb, k0 + static_cast<int64_t>(i)) & (len - 1)]);
      return;
    }
    const double perSlot = 1.0 / static_cast<double>(len);
    for (size_t i = 0; i < n; ++i) {
      int64_t j = Slot(tb, k0 + static_cast<int64_t>(i));
      int64_t p = j - len * static_cast<int64_t>(static_cast<double>(j) * perSlot);
      p = p < 0 ? FloorMod(p, len) : p >= len ? p - len : p;
      words[i] |= bit & (0u - slots[p]);
    }
    return;
  }
  const int64_t end = k0 + static_cast<int64_t>(n);
  int64_t k = k0;
  while (k < end) {
    int64_t j = Slot(tb, k);
    int64_t p = FloorMod(j, len);
    int64_t change = j + runs[p];
    double at = ((static_cast<double>(change) - offset) / rate - tb.start) / tb.period;
    int64_t next =
        at >= static_cast<double>(end) ? end : std::max(k + 1, static_cast<int64_t>(std::ceil(at)));
    while (next - 1 > k && Slot(tb, next - 1) >= change)
      --next;
    while (next < end && Slot(tb, next) < change)
      ++next;
    if (slots[p])
      for (int64_t i = k; i < next; ++i)
        words[i - k0] |= bit;
    k = next;
  }
}

// ---- the syntax ----

namespace {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

// Splits at separators not preceded by a backslash (escapes stay in place), at
// most `limit` times.
std::vector<std::string> Split(std::string_view s, char sep, size_t limit = SIZE_MAX) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      part += s[i];
      part += s[++i];
    } else if (s[i] == sep && parts.size() < limit) {
      parts.push_back(part);
      part.clear();
    } else {
      part += s[i];
    }
  }
  parts.push_back(part);
  return parts;
}

bool Number(const std::string &text, double &out) {
  if (text.empty()) return false;
  char *end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(out);
}

bool Unescape(const std::string &text, std::string &out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
    case 'n':
      out += '\n';
      break;
    case 'r':
      out += '\r';
      break;
    case 't':
      out += '\t';
      break;
    case '\\':
    case ',':
    case ':':
      out += text[i];
      break;
    case 'x': {
      if (i + 2 >= text.size()) return false;
      std::string hex = text.substr(i + 1, 2);
      if (!std::isxdigit(static_cast<unsigned char>(hex[0])) ||
          !std::isxdigit(static_cast<unsigned char>(hex[1])))
        return false;
      out += static_cast<char>(std::strtol(hex.c_str(), nullptr, 16));
      i += 2;
      break;
    }
    default:
      return false;
    }
  }
  return true;
}

// The fields after the kind: numbers, with `required` of them at least and
// `allowed` at most.
bool Numbers(const std::vector<std::string> &fields, size_t required, size_t allowed,
             std::vector<double> &out) {
  size_t n = fields.size() - 1;
  if (n < required || n > allowed) return false;
  out.assign(n, 0);
  for (size_t i = 0; i < n; ++i)
    if (!Number(fields[i + 1], out[i])) return false;
  return true;
}

bool ParseAnalog(const std::vector<std::string> &f, TAnalogSignal &out, std::string &why) {
  std::vector<double> v;
  TAnalogSignal s;
  const std::string &kind = f[0];
  if (kind == "dc") {
    if (!Numbers(f, 1, 1, v)) return why = "dc takes one level in mV", false;
    s.kind = TAnalogSignal::kDc;
    s.offset = v[0];
  } else if (kind == "sine" || kind == "square" || kind == "triangle") {
    size_t allowed = kind == "square" ? 5 : 4;
    if (!Numbers(f, 2, allowed, v)) return why = kind + " takes FREQ:AMP[:OFFSET[:PHASE]]", false;
    s.kind = kind == "sine"     ? TAnalogSignal::kSine
             : kind == "square" ? TAnalogSignal::kSquare
                                : TAnalogSignal::kTriangle;
    s.frequency = v[0];
    s.amplitude = v[1];
    s.offset = v.size() > 2 ? v[2] : 0;
    s.phase = v.size() > 3 ? v[3] / 360.0 : 0;
    s.duty = v.size() > 4 ? v[4] / 100.0 : 0.5;
    if (s.frequency <= 0) return why = "frequency must be above 0", false;
    if (s.duty <= 0 || s.duty >= 1) return why = "duty must lie between 0 and 100 %", false;
  } else {
    return why = "unknown analog signal '" + kind + "'", false;
  }
  out = s;
  return true;
}

// A clock as 1000 slots per cycle (or fewer, reduced), high for the first part.
TDigitalSignal Clock(double frequency, double dutyPercent, double phaseDegrees) {
  int high = static_cast<int>(std::lround(dutyPercent * 10));
  int g = std::gcd(high, 1000);
  TDigitalSignal s;
  s.slots.assign(1000 / g, 0);
  std::fill(s.slots.begin(), s.slots.begin() + high / g, 1);
  s.rate = frequency * static_cast<double>(s.slots.size());
  s.offset = phaseDegrees / 360.0 * static_cast<double>(s.slots.size());
  return s;
}

// RS-232 as the logic analyzer's decoder reads it: idle and stop bits low,
// the start bit high, data (and parity) bits inverted, least significant first.
bool Uart(double baud, const std::string &format, const std::string &text, TDigitalSignal &out,
          std::string &why) {
  if (format.size() != 3 || format[0] < '5' || format[0] > '8' ||
      std::string("NEO").find(format[1]) == std::string::npos ||
      (format[2] != '1' && format[2] != '2'))
    return why = "uart format is DATA PARITY STOP, such as 8N1 or 7E2", false;
  if (text.empty()) return why = "uart needs text", false;
  int dataBits = format[0] - '0', stopBits = format[2] - '0';
  char parity = format[1];
  TDigitalSignal s;
  s.slots.clear();
  for (unsigned char c : text) {
    s.slots.push_back(1);
    int ones = 0;
    for (int b = 0; b < dataBits; ++b) {
      int bit = c >> b & 1;
      ones += bit;
      s.slots.push_back(bit ? 0 : 1);
    }
    if (parity != 'N') {
      int p = parity == 'E' ? ones & 1 : !(ones & 1);
      s.slots.push_back(p ? 0 : 1);
    }
    s.slots.insert(s.slots.end(), stopBits, 0);
  }
  // A character's time of idle line before the text comes round again.
  s.slots.insert(s.slots.end(), 1 + dataBits + (parity != 'N') + stopBits, 0);
  s.rate = baud;
  out = s;
  return true;
}

bool ParseLogic(const std::vector<std::string> &f, int bitInRange, TDigitalSignal &out,
                std::string &why) {
  const std::string &kind = f[0];
  std::vector<double> v;
  TDigitalSignal s;
  if (kind == "low" || kind == "high") {
    if (f.size() != 1) return why = kind + " takes no arguments", false;
    s.slots = {static_cast<uint8_t>(kind == "high")};
  } else if (kind == "clock") {
    if (!Numbers(f, 1, 3, v)) return why = "clock takes FREQ[:DUTY[:PHASE]]", false;
    double duty = v.size() > 1 ? v[1] : 50;
    if (v[0] <= 0) return why = "frequency must be above 0", false;
    if (duty < 0.1 || duty > 99.9) return why = "duty must lie between 0.1 and 99.9 %", false;
    s = Clock(v[0], duty, v.size() > 2 ? v[2] : 0);
  } else if (kind == "pattern") {
    if (f.size() < 2 || f.size() > 3) return why = "pattern takes BITS[:RATE]", false;
    const std::string &bits = f[1];
    if (bits.empty() || bits.size() > 4096 || bits.find_first_not_of("01") != std::string::npos)
      return why = "pattern bits are 1 to 4096 of 0 and 1", false;
    double rate = 1000;
    if (f.size() == 3 && (!Number(f[2], rate) || rate <= 0))
      return why = "pattern rate must be above 0", false;
    s.slots.clear();
    for (char c : bits)
      s.slots.push_back(c == '1');
    s.rate = rate;
  } else if (kind == "counter") {
    if (!Numbers(f, 1, 2, v)) return why = "counter takes RATE[:BIT]", false;
    double bit = v.size() > 1 ? v[1] + bitInRange : bitInRange;
    if (v[0] <= 0) return why = "counter rate must be above 0", false;
    if (bit < 0 || bit > 31 || bit != std::floor(bit))
      return why = "counter bit must be 0 to 31", false;
    // Bit b of a counter that counts at RATE is a clock at RATE / 2^(b+1).
    s.slots = {0, 1};
    s.rate = std::ldexp(v[0], -static_cast<int>(bit));
  } else if (kind == "uart") {
    if (f.size() < 2 || f.size() > 4) return why = "uart takes BAUD[:FORMAT[:TEXT]]", false;
    double baud = 0;
    if (!Number(f[1], baud) || baud <= 0) return why = "baud rate must be above 0", false;
    std::string text = "Hello from Velk\r\n";
    if (f.size() == 4 && !Unescape(f[3], text))
      return why = "bad escape in uart text (\\n \\r \\t \\\\ \\, \\: \\xHH)", false;
    if (!Uart(baud, f.size() > 2 ? f[2] : "8N1", text, s, why)) return false;
  } else {
    return why = "unknown logic signal '" + kind + "'", false;
  }
  s.Finish();
  out = std::move(s);
  return true;
}

bool LogicChannel(std::string_view name, int &channel) {
  if (name.size() < 2 || name[0] != 'D') return false;
  std::string digits(name.substr(1));
  if (digits.empty() || digits.size() > 2 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  channel = std::atoi(digits.c_str());
  return channel < kLogicChannels;
}

bool ApplyItem(const std::string &item, TSignalSet &set, std::string &why) {
  size_t eq = item.find('=');
  if (eq == std::string::npos) return why = "'" + item + "' has no '='", false;
  std::string target = Trim(item.substr(0, eq));
  std::string body = Trim(item.substr(eq + 1));
  // The text of a uart keeps its colons.
  std::vector<std::string> fields = Split(body, ':', body.rfind("uart", 0) == 0 ? 3 : SIZE_MAX);
  if (fields[0] != "uart")
    for (const std::string &f : fields)
      if (f.find('\\') != std::string::npos) return why = "'\\' only in uart text", false;
  if (fields[0].empty()) return why = "'" + target + "' has no signal", false;

  int first = 0, last = 0;
  if (target == "A" || target == "B" || target == "X") {
    int input = target == "A" ? kInputA : target == "B" ? kInputB : kInputX;
    return ParseAnalog(fields, set.analog[input], why);
  }
  if (target == "CLK") {
    std::vector<double> v;
    if (fields[0] != "clock" || !Numbers(fields, 1, 2, v) || v[0] <= 0)
      return why = "CLK takes clock:FREQ[:DUTY]", false;
    double duty = v.size() > 1 ? v[1] : 50;
    if (duty <= 0 || duty >= 100) return why = "duty must lie between 0 and 100 %", false;
    set.clockRate = v[0];
    set.clockDuty = duty / 100;
    return true;
  }
  size_t dash = target.find('-');
  if (dash == std::string::npos) {
    if (!LogicChannel(target, first)) return why = "unknown channel '" + target + "'", false;
    last = first;
  } else {
    std::string to = Trim(target.substr(dash + 1));
    if (!to.empty() && to[0] != 'D') to = "D" + to;
    if (!LogicChannel(Trim(target.substr(0, dash)), first) || !LogicChannel(to, last) ||
        last < first)
      return why = "bad channel range '" + target + "'", false;
  }
  for (int c = first; c <= last; ++c)
    if (!ParseLogic(fields, c - first, set.logic[c], why)) return false;
  return true;
}

bool Apply(const char *list, TSignalSet &set, std::string &why) {
  if (!list) return true;
  for (const std::string &raw : Split(list, ',')) {
    std::string item = Trim(raw);
    if (item.empty()) continue;
    if (!ApplyItem(item, set, why)) return false;
  }
  return true;
}

TSignalSet Blank() {
  TSignalSet set;
  for (TDigitalSignal &s : set.logic)
    s.Finish();
  return set;
}

} // namespace

bool TSignalSet::Make(const char *list, TSignalSet &out, std::string *error) {
  static const TSignalSet defaults = [] {
    TSignalSet set = Blank();
    std::string why;
    Apply(kDefaultSignals, set, why);
    return set;
  }();
  TSignalSet set = defaults;
  std::string why;
  if (!Apply(list, set, why)) {
    if (error) *error = why;
    return false;
  }
  out = std::move(set);
  return true;
}

} // namespace velkemu
