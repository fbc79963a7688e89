// Binding of the multimeter panel library (AppFolder + "libpimbra.so"): loaded by
// name when the oscilloscope window is first shown, five entry points resolved
// before anything is called. A missing or foreign library is reported as a
// message, so the window can disable its multimeter button and carry on.
#pragma once

#include "measure.h" // TMultimeterRecord

#include <QString>

#include <cstdint>

class TMeterPanel {
public:
  static constexpr const char *kLibraryName = "libpimbra.so";

  TMeterPanel() = default;
  TMeterPanel(const TMeterPanel &) = delete;
  TMeterPanel &operator=(const TMeterPanel &) = delete;
  ~TMeterPanel() { Release(); }

  // Loads the library from appFolder (with its trailing '/') and resolves
  // "_Create", "_Visible", "_IsVisible", "_Update" and "_Destroy". On failure
  // nothing stays loaded and error holds the message for an "Error" box.
  bool Bind(const QString &appFolder, QString &error);
  bool IsBound() const { return Handle != nullptr; }

  // The calls of the window; each does nothing while the library is not bound.
  void Create(bool channelB);
  bool IsVisible() const;
  void Visible(bool show);
  void Update(const TMultimeterRecord &record);
  // At exit: hides and destroys the panel (when it was created), then unloads.
  void Release();

private:
  void *Handle = nullptr;
  bool Created = false;
  void (*CreateFn)(uint8_t) = nullptr;
  void (*VisibleFn)(uint8_t) = nullptr;
  uint8_t (*IsVisibleFn)() = nullptr;
  void (*UpdateFn)(TMultimeterRecord) = nullptr;
  void (*DestroyFn)() = nullptr;
};
