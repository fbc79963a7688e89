#include "interpreters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

using TWords = std::array<uint32_t, kChConfigCount>;

uint32_t Kind(uint32_t w) {
  return w & kChKindMask;
}
int Id(uint32_t w) {
  return static_cast<int>(w & kChIdMask);
}

bool SlotValid(int slot) {
  return slot >= 0 && slot < kMaxInterpreters;
}

// floor(x) when the fraction is below one half, else ceil(x).
double HalfUp(double x) {
  const double f = std::floor(x);
  return x - f < 0.5 ? f : std::ceil(x);
}

// First index in [from, to) at which the channel is at the given level; `to`
// when there is none. Long stretches at the other level go by in blocks of 16
// words with one test each.
size_t FindLevel(const uint32_t *s, size_t from, size_t to, uint32_t mask, bool high) {
  constexpr size_t kBlock = 16;
  size_t i = from;
  if (high) {
    for (; i + kBlock <= to; i += kBlock) {
      uint32_t any = 0;
      for (size_t k = 0; k < kBlock; ++k)
        any |= s[i + k];
      if (any & mask) break;
    }
  } else {
    for (; i + kBlock <= to; i += kBlock) {
      uint32_t all = ~0u;
      for (size_t k = 0; k < kBlock; ++k)
        all &= s[i + k];
      if (~all & mask) break;
    }
  }
  for (; i < to; ++i)
    if (((s[i] & mask) != 0) == high) return i;
  return to;
}

// The bus value of every sample: one table look-up per byte of the sample word
// that holds members (bit b of Bytes set: byte b is used). The byte choice is a
// template argument so that the shifts are constants and unused bytes cost nothing.
template <size_t Bytes>
void Gather(const uint32_t *__restrict samples, uint32_t count, const uint32_t (&t)[4][256],
            uint32_t *__restrict out) {
  for (uint32_t j = 0; j < count; ++j) {
    const uint32_t w = samples[j];
    uint32_t v = 0;
    if constexpr ((Bytes & 1) != 0) v |= t[0][w & 0xFF];
    if constexpr ((Bytes & 2) != 0) v |= t[1][(w >> 8) & 0xFF];
    if constexpr ((Bytes & 4) != 0) v |= t[2][(w >> 16) & 0xFF];
    if constexpr ((Bytes & 8) != 0) v |= t[3][w >> 24];
    out[j] = v;
  }
}

// Four words at a time, all read before any is written: the compiler then uses
// vector instructions although it cannot rule out that the arrays overlap.
void ShiftAndMask(const uint32_t *samples, uint32_t count, uint32_t shift, uint32_t mask,
                  uint32_t *out) {
  size_t j = 0;
  for (; j + 4 <= count; j += 4) {
    const uint32_t a = samples[j], b = samples[j + 1], c = samples[j + 2], d = samples[j + 3];
    out[j] = (a >> shift) & mask;
    out[j + 1] = (b >> shift) & mask;
    out[j + 2] = (c >> shift) & mask;
    out[j + 3] = (d >> shift) & mask;
  }
  for (; j < count; ++j)
    out[j] = (samples[j] >> shift) & mask;
}

template <size_t... Bytes> constexpr auto MakeGathers(std::index_sequence<Bytes...>) {
  return std::array{&Gather<Bytes>...};
}
constexpr auto kGathers = MakeGathers(std::make_index_sequence<16>{});

double LibrarySampleRate(const TVELK &r) {
  // Indexes outside the selector block would ask the library another question.
  if (!r.Lib.GetClockItems || r.SamplingRate < 0 || r.SamplingRate >= 0x200) return 0;
  return r.Lib.GetClockItems(0x200 + r.SamplingRate);
}

// A bus has 2 to 16 members, an RS-232 decoder one; every member is a channel
// number and none appears twice.
bool MembersAcceptable(uint8_t type, const std::vector<int> &members) {
  const size_t n = members.size();
  if (type == kIntpBus ? n < 2 || n > kMaxBusWidth : n != 1) return false;
  uint32_t seen = 0;
  for (int c : members) {
    if (c < 0 || c >= kMaxChannels || (seen >> c & 1)) return false;
    seen |= 1u << c;
  }
  return true;
}

// Lays the words out again with the interpreter of `slot` holding `members`:
// empty and absent-channel words are dropped, other interpreters' blocks are
// copied, the first plain row of a member becomes the interpreter's block and
// the other members' plain rows go. A block whose interpreter is not defined
// (or a second block of the same one) is dissolved into plain rows, so a table
// from a damaged settings file cannot hold two heads of one slot. Fails when a
// member has no plain row or the words do not fit.
bool Rebuild(const TWords &in, const TIntpDefs &defs, int slot, const std::vector<int> &members,
             uint32_t headFlags, TWords &out) {
  uint32_t memberMask = 0;
  for (int c : members)
    memberMask |= 1u << c;
  uint32_t found = 0, seenSlots = 0;
  bool placed = false;
  size_t o = 0;
  bool fits = true;
  auto put = [&](uint32_t w) {
    if (o < out.size())
      out[o++] = w;
    else
      fits = false;
  };
  for (size_t i = 0; i < in.size();) {
    const uint32_t w = in[i];
    const uint32_t kind = Kind(w);
    if (kind == kChEmpty || kind == kChAbsent) {
      ++i;
      continue;
    }
    if (kind == kChIntp) {
      const int s = Id(w) - kIntpIdBase;
      size_t end = i + 1;
      while (end < in.size() && Kind(in[end]) == kChMember)
        ++end;
      if (SlotValid(s) && s != slot && defs[s] && !(seenSlots >> s & 1)) {
        seenSlots |= 1u << s;
        for (size_t k = i; k < end; ++k)
          put(in[k]);
        i = end;
      } else {
        ++i; // its members follow as stray member words: plain rows below
      }
      continue;
    }
    // A plain row, or a member word with no interpreter before it.
    const int c = Id(w);
    ++i;
    if (c >= kMaxChannels) continue; // no such channel
    if (memberMask >> c & 1) {
      found |= 1u << c;
      if (!placed) {
        put(kChIntp | headFlags | static_cast<uint32_t>(kIntpIdBase + slot));
        for (int m : members)
          put(kChMember | static_cast<uint32_t>(m));
        placed = true;
      }
    } else {
      put(kChChannel | (w & kChFlagsMask) | static_cast<uint32_t>(c));
    }
  }
  if (!fits || found != memberMask) return false;
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(o), out.end(), 0u);
  return true;
}

TWords Copy(TChConfigView v) {
  TWords w;
  std::copy(v.begin(), v.end(), w.begin());
  return w;
}

// The definition the editor's OK writes: name cut to 16 characters, the type's
// parameters, a bus's width from its members.
void Fill(TIntpDef &d, const TIntpDef &from, const std::vector<int> &members) {
  std::memset(d.Name, 0, sizeof d.Name);
  std::memcpy(d.Name, from.Name, strnlen(from.Name, kChNameSize));
  if (d.Type == kIntpBus) {
    d.Bus.Width = static_cast<int32_t>(members.size());
    d.Bus.DispMode = std::min<uint8_t>(from.Bus.DispMode, kDispAscii);
  } else {
    d.RS232 = from.RS232;
    d.RS232.DispMode = std::min<uint8_t>(from.RS232.DispMode, kDispAscii);
  }
}

} // namespace

// --- Decoding ---

void DecodeBus(const uint32_t *samples, uint32_t count, const std::vector<int> &members,
               uint32_t *out) {
  const size_t width = std::min<size_t>(members.size(), kMaxBusWidth);
  // The common bus of neighbouring channels in ascending order is one shift and
  // one mask per sample.
  bool ascending = width > 0 && members[0] >= 0 && members[0] + static_cast<int>(width) <= 32;
  for (size_t k = 1; ascending && k < width; ++k)
    ascending = members[k] == members[0] + static_cast<int>(k);
  if (ascending) {
    ShiftAndMask(samples, count, static_cast<uint32_t>(members[0]), (1u << width) - 1, out);
    return;
  }
  // One table per byte of the sample word: the contribution of that byte's
  // member channels to the value, so a sample costs one look-up per byte that
  // holds members.
  uint32_t tables[4][256] = {};
  unsigned used = 0;
  for (size_t k = 0; k < width; ++k) {
    const int c = members[k];
    if (c < 0 || c >= kMaxChannels) continue;
    const int byte = c / 8, bit = c % 8;
    used |= 1u << byte;
    for (uint32_t v = 0; v < 256; ++v)
      if (v >> bit & 1) tables[byte][v] |= 1u << k;
  }
  kGathers[used](samples, count, tables, out);
}

void DecodeRS232(const uint32_t *samples, uint32_t count, int channel, const TRS232Params &params,
                 double sampleRate, uint32_t *out) {
  std::fill(out, out + count, 0u);
  if (channel < 0 || channel >= kMaxChannels || params.BaudRate <= 0 || params.DataBits < 4 ||
      params.DataBits > 8 || params.StopBits < 0 || params.StopBits > 2 || !(sampleRate > 0))
    return;
  const double spb = sampleRate / params.BaudRate; // samples per bit
  // Start bit, data bits, parity bit, first stop bit.
  const int g = params.DataBits + 2 + (params.Parity != 0 ? 1 : 0);
  // Offsets from the start edge: the frame's end and the centre of every bit.
  const double frameEnd = std::floor((g + 0.5 * params.StopBits) * spb);
  double centre[12];
  centre[0] = HalfUp(spb * 0.5);
  for (int k = 1; k < g; ++k)
    centre[k] = centre[0] + HalfUp(k * spb);
  // With very few samples per bit the stop bit's centre can fall after the
  // frame's end; the frame then lasts to that centre, so that no character reads
  // or marks a sample past the end of the record.
  const double lastOffset = std::max(frameEnd, centre[g - 1]);
  if (!(lastOffset < count)) return; // not even one complete character fits
  const size_t endOff = static_cast<size_t>(lastOffset);
  const size_t stopOff = static_cast<size_t>(centre[g - 1]);
  size_t offs[12];
  for (int k = 0; k < g; ++k)
    offs[k] = static_cast<size_t>(centre[k]);

  const uint32_t mask = 1u << channel;
  const size_t n = count;
  bool waitIdle = true; // a capture that starts inside a character decodes from the first idle
  int previous = -1;    // the last character, -1 none
  size_t previousEnd = 0;
  bool hasPrevious = false;
  size_t j = 0;
  while (j < n) {
    if (waitIdle) {
      const size_t k = FindLevel(samples, j, n, mask, false);
      if (k == n) break;
      j = k + 1;
      waitIdle = false;
      continue;
    }
    const size_t k = FindLevel(samples, j, n, mask, true);
    // An incomplete last character is not decoded, nor can any after it be.
    if (k == n || k + endOff >= n) break;
    uint32_t t = 0;
    for (int b = 0; b < params.DataBits; ++b)
      if (!(samples[k + offs[b + 1]] & mask)) t |= 1u << b;
    const bool framingError = samples[k + stopOff] & mask;
    // The frame ends at its last sample, or earlier, from the stop bit's centre
    // on, on the sample before the next start bit.
    const size_t end = FindLevel(samples, k + stopOff + 1, k + endOff + 1, mask, true) - 1;
    const uint32_t word = t | kIntpInFrame | (framingError ? kIntpFramingError : 0u);
    std::fill(out + k, out + end + 1, word);
    if (hasPrevious && previousEnd + 1 == k && previous == static_cast<int>(t))
      out[k] |= kIntpRepeated;
    previous = static_cast<int>(t);
    previousEnd = end;
    hasPrevious = true;
    waitIdle = framingError;
    j = end + 1;
  }
}

void DecodeInterpreters(TVELK &r) {
  DecodeInterpreters(r, LibrarySampleRate(r));
}

void DecodeInterpreters(TVELK &r, double sampleRate) {
  const int tab = r.ActiveDigitalTab;
  const std::vector<uint32_t> *buffer = tab >= 0 && tab < static_cast<int>(r.DigitalSamples.size())
                                            ? &r.DigitalSamples[tab]
                                            : nullptr;
  const uint32_t n =
      buffer ? static_cast<uint32_t>(std::min<size_t>(r.BuffLength, buffer->size())) : 0;
  const uint32_t *samples = n ? buffer->data() : nullptr;
  for (int slot = 0; slot < kMaxInterpreters; ++slot) {
    const TIntpDef *d = r.Interpreters[slot].get();
    if (!d) continue;
    std::vector<uint32_t> &data = r.InterpreterData[slot];
    const size_t size = std::max<size_t>(r.BufferCapacity, n);
    if (data.size() < size) data.resize(size, 0u);
    const std::vector<int> members = InterpreterMembers(r.ChConfig, slot);
    if (d->Type == kIntpBus)
      DecodeBus(samples, n, members, data.data());
    else if (d->Type == kIntpRS232 && !members.empty())
      DecodeRS232(samples, n, members[0], d->RS232, sampleRate, data.data());
    else
      std::fill(data.begin(), data.begin() + n, 0u);
    // Words past the decoded samples belong to no sample of this capture.
    const size_t shown = std::min<size_t>(r.BuffLength, data.size());
    if (shown > n)
      std::fill(data.begin() + n, data.begin() + static_cast<std::ptrdiff_t>(shown), 0u);
  }
}

// --- The place of interpreters in the channel-configuration words ---

int InterpreterRow(TChConfigView chConfig, int slot) {
  if (!SlotValid(slot)) return -1;
  for (int i = 0; i < kChConfigCount; ++i)
    if (Kind(chConfig[i]) == kChIntp && Id(chConfig[i]) == kIntpIdBase + slot) return i;
  return -1;
}

std::vector<int> InterpreterMembers(TChConfigView chConfig, int slot) {
  std::vector<int> members;
  const int row = InterpreterRow(chConfig, slot);
  if (row < 0) return members;
  for (int i = row + 1; i < kChConfigCount && Kind(chConfig[i]) == kChMember; ++i)
    members.push_back(Id(chConfig[i]));
  return members;
}

int InterpreterWidth(TChConfigView chConfig, int slot) {
  return static_cast<int>(InterpreterMembers(chConfig, slot).size());
}

std::vector<int> FreeChannels(TChConfigView chConfig) {
  std::vector<int> channels;
  for (uint32_t w : chConfig)
    if (Kind(w) == kChChannel && Id(w) < kMaxChannels) channels.push_back(Id(w));
  return channels;
}

std::vector<int> DefinedInterpreterSlots(const TIntpDefs &defs) {
  std::vector<int> defined;
  for (int s = 0; s < kMaxInterpreters; ++s)
    if (defs[s]) defined.push_back(s);
  return defined;
}

int FirstFreeInterpreterSlot(const TIntpDefs &defs) {
  for (int s = 0; s < kMaxInterpreters; ++s)
    if (!defs[s]) return s;
  return -1;
}

QString NewInterpreterName(const TIntpDefs &defs) {
  const int slot = FirstFreeInterpreterSlot(defs);
  return slot < 0 ? QString() : QStringLiteral("Interpreter %1").arg(slot + 1);
}

int32_t ParseBaudRate(const QString &text) {
  bool ok = false;
  const int32_t rate = text.trimmed().toInt(&ok);
  // A rate of zero or below cannot time a bit.
  return ok && rate > 0 ? rate : 9600;
}

TIntpDefs CopyInterpreters(const TIntpDefs &defs) {
  TIntpDefs copy;
  for (int s = 0; s < kMaxInterpreters; ++s)
    if (defs[s]) copy[s] = std::make_unique<TIntpDef>(*defs[s]);
  return copy;
}

int CreateInterpreter(TChConfigSpan chConfig, TIntpDefs &defs, const TIntpDef &def,
                      const std::vector<int> &members) {
  const int slot = FirstFreeInterpreterSlot(defs);
  if (slot < 0 || (def.Type != kIntpBus && def.Type != kIntpRS232) ||
      !MembersAcceptable(def.Type, members))
    return -1;
  TWords out;
  if (!Rebuild(Copy(chConfig), defs, slot, members, 0, out)) return -1;
  auto d = std::make_unique<TIntpDef>();
  d->Type = def.Type;
  Fill(*d, def, members);
  std::copy(out.begin(), out.end(), chConfig.begin());
  defs[slot] = std::move(d);
  return slot;
}

bool EditInterpreter(TChConfigSpan chConfig, TIntpDefs &defs, int slot, const TIntpDef &def,
                     const std::vector<int> &members) {
  if (!SlotValid(slot) || !defs[slot] || !MembersAcceptable(defs[slot]->Type, members))
    return false;
  // The old members become plain rows (flags cleared) where they stand and the
  // head word goes; then the table is laid out as for a new interpreter. The head
  // keeps its expanded state.
  TWords in = Copy(chConfig);
  uint32_t headFlags = 0;
  const int row = InterpreterRow(chConfig, slot);
  if (row >= 0) {
    headFlags = in[row] & kChFlagsMask;
    std::copy(in.begin() + row + 1, in.end(), in.begin() + row);
    in.back() = 0;
    for (int i = row; i < kChConfigCount && Kind(in[i]) == kChMember; ++i)
      in[i] = kChChannel | static_cast<uint32_t>(Id(in[i]));
  }
  TWords out;
  if (!Rebuild(in, defs, slot, members, headFlags, out)) return false;
  Fill(*defs[slot], def, members);
  std::copy(out.begin(), out.end(), chConfig.begin());
  return true;
}

bool DeleteInterpreter(TChConfigSpan chConfig, TIntpDefs &defs, int slot) {
  if (!SlotValid(slot)) return false;
  const int row = InterpreterRow(chConfig, slot);
  if (row < 0 && !defs[slot]) return false;
  if (row >= 0) {
    TWords out{};
    size_t o = 0;
    for (int i = 0; i < row; ++i)
      out[o++] = chConfig[i];
    int i = row + 1;
    for (; i < kChConfigCount && Kind(chConfig[i]) == kChMember; ++i)
      if (Id(chConfig[i]) < kMaxChannels) // a member that names no channel has no row to return to
        out[o++] = kChChannel | (chConfig[i] & (kChFlagsMask | kChIdMask));
    for (; i < kChConfigCount; ++i)
      out[o++] = chConfig[i];
    std::copy(out.begin(), out.end(), chConfig.begin());
  }
  defs[slot].reset();
  return true;
}

int CreateInterpreter(TVELK &r, const TIntpDef &def, const std::vector<int> &members) {
  const int slot = CreateInterpreter(r.ChConfig, r.Interpreters, def, members);
  if (slot >= 0) r.InterpreterData[slot].assign(r.BufferCapacity, 0u);
  return slot;
}

bool EditInterpreter(TVELK &r, int slot, const TIntpDef &def, const std::vector<int> &members) {
  if (!EditInterpreter(r.ChConfig, r.Interpreters, slot, def, members)) return false;
  r.InterpreterData[slot].assign(r.BufferCapacity, 0u);
  return true;
}

bool DeleteInterpreter(TVELK &r, int slot) {
  if (!DeleteInterpreter(r.ChConfig, r.Interpreters, slot)) return false;
  std::vector<uint32_t>().swap(r.InterpreterData[slot]);
  if (r.StateDefIntp == slot) r.StateDefIntp = -1;
  return true;
}

void ApplyInterpreters(TVELK &r, TChConfigView chConfig, const TIntpDefs &defs) {
  std::copy(chConfig.begin(), chConfig.end(), r.ChConfig);
  for (int s = 0; s < kMaxInterpreters; ++s) {
    r.Interpreters[s] = defs[s] ? std::make_unique<TIntpDef>(*defs[s]) : nullptr;
    std::vector<uint32_t>().swap(r.InterpreterData[s]);
    if (defs[s]) r.InterpreterData[s].assign(r.BufferCapacity, 0u);
  }
}
