// The control API of velkemu.h.
#include "emulator.h"
#include "export.h"

#include <cstdlib>
#include <cstring>

using namespace velkemu;

namespace {

constexpr uint32_t kControlOps = 1u << VELKEMU_OP_PURGE_COMM | 1u << VELKEMU_OP_PURGE |
                                 1u << VELKEMU_OP_RESET | 1u << VELKEMU_OP_BITMODE |
                                 1u << VELKEMU_OP_USB_PARAMS | 1u << VELKEMU_OP_TIMEOUTS |
                                 1u << VELKEMU_OP_LATENCY;

// Runs f on device dev under the lock; fail when the device does not exist.
template <typename T, typename F> T WithDevice(int dev, T fail, F f) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  TDevice *d = e.Device(dev);
  return d ? f(e, *d) : fail;
}

bool ValidBank(const TDevice &d, int bank) {
  return bank >= 0 && bank < kBankCount && d.instrument->BankSize(bank) > 0;
}

} // namespace

VELKEMU_EXPORT int velkemu_reset(const char *list) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  e.bench.held = false;
  return e.Reset(list ? list : std::getenv("VELK_EMULATE"));
}

VELKEMU_EXPORT int velkemu_device_count(void) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  return int(e.devices.size());
}

VELKEMU_EXPORT int velkemu_model(int dev) {
  return WithDevice(dev, -1, [](TEmulator &, TDevice &d) { return d.instrument->Model(); });
}

VELKEMU_EXPORT int velkemu_get_info_block(int dev, uint8_t block[256]) {
  if (!block) return -1;
  return WithDevice(dev, -1, [block](TEmulator &, TDevice &d) {
    std::memcpy(block, d.instrument->InfoBlock().data(), 256);
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_set_info_block(int dev, const uint8_t block[256]) {
  if (!block) return -1;
  return WithDevice(dev, -1, [block](TEmulator &, TDevice &d) {
    TInfoBlock copy;
    std::memcpy(copy.data(), block, 256);
    d.instrument->SetInfoBlock(copy);
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_get_register(int dev, int reg) {
  if (reg < 0 || reg > 127) return -1;
  return WithDevice(
      dev, -1, [reg](TEmulator &, TDevice &d) { return int(d.instrument->ReadRegister(reg)); });
}

VELKEMU_EXPORT int velkemu_set_register(int dev, int reg, uint8_t value) {
  if (reg < 0 || reg > 127) return -1;
  return WithDevice(dev, -1, [reg, value](TEmulator &, TDevice &d) {
    d.instrument->SetRegister(reg, value);
    return 0;
  });
}

VELKEMU_EXPORT size_t velkemu_bank_size(int dev, int bank) {
  return WithDevice(dev, size_t(0), [bank](TEmulator &, TDevice &d) {
    return ValidBank(d, bank) ? d.instrument->BankSize(bank) : size_t(0);
  });
}

VELKEMU_EXPORT size_t velkemu_read_bank(int dev, int bank, uint8_t *out, size_t len) {
  if (!out) return 0;
  return WithDevice(dev, size_t(0), [=](TEmulator &, TDevice &d) {
    return ValidBank(d, bank) ? d.instrument->ReadBank(bank, out, len) : size_t(0);
  });
}

VELKEMU_EXPORT size_t velkemu_write_bank(int dev, int bank, const uint8_t *in, size_t len) {
  if (!in) return 0;
  return WithDevice(dev, size_t(0), [=](TEmulator &, TDevice &d) {
    return ValidBank(d, bank) ? d.instrument->WriteBank(bank, in, len) : size_t(0);
  });
}

// The names come from the emulator's table of images and never go away.
VELKEMU_EXPORT const char *velkemu_loaded_image(int dev) {
  return WithDevice(dev, "", [](TEmulator &, TDevice &d) { return d.instrument->LoadedImage(); });
}

VELKEMU_EXPORT int velkemu_download_count(int dev) {
  return WithDevice(dev, -1, [](TEmulator &, TDevice &d) { return d.instrument->DownloadCount(); });
}

VELKEMU_EXPORT int velkemu_load_image(int dev, const char *name) {
  return WithDevice(dev, -1, [name](TEmulator &, TDevice &d) {
    if (d.instrument->InBitBang()) return -1;
    return d.instrument->Configure(name) ? 0 : -1;
  });
}

VELKEMU_EXPORT int velkemu_released(int dev) {
  return WithDevice(dev, -1,
                    [](TEmulator &, TDevice &d) { return d.instrument->Released() ? 1 : 0; });
}

// ---- transfer log ----

VELKEMU_EXPORT size_t velkemu_log_count(void) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  return e.log.Count();
}

VELKEMU_EXPORT int velkemu_log_entry(size_t i, velkemu_transfer *out) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  return e.log.Entry(i, out) ? 0 : -1;
}

VELKEMU_EXPORT void velkemu_log_clear(void) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  e.log.Clear();
}

VELKEMU_EXPORT void velkemu_log_data(int on) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  e.log.SetDataLogging(on != 0);
}

// ---- faults ----

VELKEMU_EXPORT int velkemu_fault_unplug_after(int dev, int transfers) {
  if (transfers < 0) return -1;
  return WithDevice(dev, -1, [transfers](TEmulator &e, TDevice &d) {
    if (transfers == 0)
      e.Unplug(d);
    else if (d.plugged)
      d.unplugAfter = transfers;
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_replug(int dev) {
  return WithDevice(dev, -1, [](TEmulator &e, TDevice &d) {
    e.Replug(d);
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_fault_short_read(int dev, int nth, int bytes) {
  if (nth < 0 || bytes < 0) return -1;
  return WithDevice(dev, -1, [nth, bytes](TEmulator &, TDevice &d) {
    d.shortReadIn = nth;
    d.shortReadBytes = bytes;
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_fault_failed_write(int dev, int nth) {
  if (nth < 0) return -1;
  return WithDevice(dev, -1, [nth](TEmulator &, TDevice &d) {
    d.failWriteIn = nth;
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_fault_blank_info(int dev, int on) {
  return WithDevice(dev, -1, [on](TEmulator &, TDevice &d) {
    d.instrument->SetBlankInfo(on != 0);
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_fault_control(int dev, int op, int on) {
  uint32_t bits = op == 0 ? kControlOps : op > 0 && op < 32 ? 1u << op & kControlOps : 0;
  if (!bits) return -1;
  return WithDevice(dev, -1, [bits, on](TEmulator &, TDevice &d) {
    d.controlFaults = on ? d.controlFaults | bits : d.controlFaults & ~bits;
    return 0;
  });
}

// ---- captures and the bench ----

VELKEMU_EXPORT int velkemu_get_capture(int dev, velkemu_capture *out) {
  if (!out) return -1;
  return WithDevice(dev, -1, [out](TEmulator &, TDevice &d) {
    const TInstrument &in = *d.instrument;
    const TCapture &c = in.Capture();
    const bool idle = c.State() == TCapture::kIdle;
    const TCaptureSetup s = idle ? in.DecodeNow() : c.Setup();
    velkemu_capture v{};
    v.state = c.State();
    v.runnable = s.runnable;
    v.status = in.Model() == kNotInstrument ? 0 : in.ReadRegister(kStatus);
    v.sample_rate = s.rate;
    v.external_clock = s.externalClock;
    v.strobe = s.strobe;
    v.interleave = s.interleave;
    v.samples = s.samples;
    v.post_trigger = s.post;
    v.latency = s.latency * s.interleave;
    v.trigger_mode = s.triggerMode;
    v.gain_a = s.gainA;
    v.gain_b = s.gainB;
    v.coupling_a = s.acA ? 0 : 1;
    v.coupling_b = s.acB ? 0 : 1;
    v.channel_b = s.channelB;
    v.digital_channels = s.digitalChannels;
    v.edge_counter = s.counting;
    v.probe_comp = s.probeComp;
    v.probe_period = s.probePeriod;
    v.ext_trigger = s.extTrigger;
    v.phase = idle ? 0 : c.Timebase().start;
    v.recorded = idle ? 0 : c.Recorded();
    v.trigger_sample = idle ? -1 : c.TriggerSample();
    v.forced = !idle && c.Forced();
    v.delay = idle ? 0 : c.DelaySamples();
    v.first_sample = idle ? -1 : c.FirstSample();
    v.trigger_index =
        v.first_sample >= 0 && v.trigger_sample >= 0 ? v.trigger_sample - v.first_sample : -1;
    v.edge_count = idle ? 0 : c.EdgeCount();
    *out = v;
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_set_signals(const char *list) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  return TSignalSet::Make(list ? list : std::getenv("VELK_EMULATE_SIGNALS"), e.bench.signals) ? 0
                                                                                              : -1;
}

VELKEMU_EXPORT int velkemu_set_speed(double factor) {
  if (!(factor >= 0) || factor > 1e12) return -1;
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  e.bench.speed = factor;
  return 0;
}

VELKEMU_EXPORT int velkemu_hold_time(int held) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  e.bench.held = held != 0;
  return 0;
}

VELKEMU_EXPORT int velkemu_advance(int dev, int64_t samples) {
  if (samples < 0) return -1;
  return WithDevice(dev, -1, [samples](TEmulator &, TDevice &d) {
    d.instrument->Step(samples);
    return 0;
  });
}

VELKEMU_EXPORT int velkemu_set_noise(int codes) {
  if (codes < 0 || codes > 4096) return -1;
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  e.bench.noise = codes;
  return 0;
}

// ---- pending mode ----

VELKEMU_EXPORT void velkemu_set_pending(int on) {
  Emu().pending.SetEnabled(on != 0);
}
