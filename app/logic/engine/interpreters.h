// Interpreters: buses and RS-232 decoders over the logic capture, and the
// operations that place them in the channel-configuration words.
//
// An interpreter in slot n has one kind-6 word (id 32 + n) in ChConfig, followed
// directly by one kind-7 word per member channel, least significant member first.
// The decoders turn the active capture buffer into one interpreter word per
// sample: bits 0-28 the value, bit 29 framing error, bit 30 a new value starts
// here, bit 31 inside a received character.
//
// The editing operations work on the record or on a dialog's working copies (a
// ChConfig array and a set of definitions); on failure they change nothing.
#pragma once

#include "record.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

using TIntpDefs = std::array<std::unique_ptr<TIntpDef>, kMaxInterpreters>;
using TChConfigSpan = std::span<uint32_t, kChConfigCount>;
using TChConfigView = std::span<const uint32_t, kChConfigCount>;

enum : uint32_t {
  kIntpValueMask = 0x1FFFFFFF,
  kIntpFramingError = 1u << 29,
  kIntpRepeated = 1u << 30,
  kIntpInFrame = 1u << 31
};
constexpr int kMaxBusWidth = 16;

// --- Decoding ---

// Decodes every defined interpreter over the active capture buffer into its
// InterpreterData array (created when missing). The RS-232 decoders take the
// selected clock's rate from the library; without one they decode nothing.
void DecodeInterpreters(TVELK &r);
// The same with the sample rate given (samples per second).
void DecodeInterpreters(TVELK &r, double sampleRate);

// out[j] = Σ bit(members[k]) of samples[j] × 2^k for j < count. Member channels
// of 32 or more contribute 0; at most 16 members are used.
void DecodeBus(const uint32_t *samples, uint32_t count, const std::vector<int> &members,
               uint32_t *out);
// Asynchronous serial characters of one channel, read with inverted levels (0 is
// idle). Invalid parameters or rates decode nothing (all words 0).
void DecodeRS232(const uint32_t *samples, uint32_t count, int channel, const TRS232Params &params,
                 double sampleRate, uint32_t *out);

// --- The place of interpreters in the channel-configuration words ---

// Index of the kind-6 word of a slot, -1 when it has none.
int InterpreterRow(TChConfigView chConfig, int slot);
// Channel ids of the member words that follow the slot's kind-6 word, in order.
std::vector<int> InterpreterMembers(TChConfigView chConfig, int slot);
int InterpreterWidth(TChConfigView chConfig, int slot);
// Channels that have a plain channel row (kind 5), in row order: the channels
// an interpreter can take.
std::vector<int> FreeChannels(TChConfigView chConfig);

// Slots of the defined interpreters in slot order (the rows of the dialog's list).
std::vector<int> DefinedInterpreterSlots(const TIntpDefs &defs);
int FirstFreeInterpreterSlot(const TIntpDefs &defs); // -1 when all 8 are used
// "Interpreter %d" with the first free slot, 1-based.
QString NewInterpreterName(const TIntpDefs &defs);
// The baud-rate text as an integer; 9600 when it is not one.
int32_t ParseBaudRate(const QString &text);
TIntpDefs CopyInterpreters(const TIntpDefs &defs);

// Creates an interpreter in the first free slot: the name and parameters of def
// (Width follows the members), the member channels in bit order. A bus takes 2
// to 16 members, an RS-232 decoder exactly one; each must have a plain channel
// row. Returns the slot, or -1 (all slots used, or members not acceptable).
int CreateInterpreter(TChConfigSpan chConfig, TIntpDefs &defs, const TIntpDef &def,
                      const std::vector<int> &members);
// Gives an existing interpreter new members, name and parameters (its type
// stays). The old members are free to be taken again.
bool EditInterpreter(TChConfigSpan chConfig, TIntpDefs &defs, int slot, const TIntpDef &def,
                     const std::vector<int> &members);
// Removes an interpreter: its members become channel rows again at the bus's
// place (flags kept), the words after it move up, the definition is freed.
bool DeleteInterpreter(TChConfigSpan chConfig, TIntpDefs &defs, int slot);

// The same on the record; they also create, zero or free the slot's decoded
// words, and deleting the bus of the state definitions detaches them.
int CreateInterpreter(TVELK &r, const TIntpDef &def, const std::vector<int> &members);
bool EditInterpreter(TVELK &r, int slot, const TIntpDef &def, const std::vector<int> &members);
bool DeleteInterpreter(TVELK &r, int slot);

// The channel dialog's OK: the working ChConfig and deep copies of the working
// definitions replace the record's; every defined interpreter gets a new zeroed
// array of BufferCapacity words.
void ApplyInterpreters(TVELK &r, TChConfigView chConfig, const TIntpDefs &defs);
