#include "meterpanel.h"

#include <dlfcn.h>

bool TMeterPanel::Bind(const QString &appFolder, QString &error) {
  Release();
  const QString name = QString::fromLatin1(kLibraryName);
  void *handle = dlopen((appFolder + name).toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    error = QStringLiteral("Missing library '%1'.\nUpdate or reinstall the software.").arg(name);
    return false;
  }
  auto *create = reinterpret_cast<void (*)(uint8_t)>(dlsym(handle, "_Create"));
  auto *visible = reinterpret_cast<void (*)(uint8_t)>(dlsym(handle, "_Visible"));
  auto *isVisible = reinterpret_cast<uint8_t (*)()>(dlsym(handle, "_IsVisible"));
  auto *update = reinterpret_cast<void (*)(TMultimeterRecord)>(dlsym(handle, "_Update"));
  auto *destroy = reinterpret_cast<void (*)()>(dlsym(handle, "_Destroy"));
  if (!create || !visible || !isVisible || !update || !destroy) {
    dlclose(handle);
    error = QStringLiteral("Incorrect library '%1'.\nUpdate or reinstall the software.").arg(name);
    return false;
  }
  Handle = handle;
  CreateFn = create;
  VisibleFn = visible;
  IsVisibleFn = isVisible;
  UpdateFn = update;
  DestroyFn = destroy;
  return true;
}

void TMeterPanel::Create(bool channelB) {
  if (!Handle) return;
  CreateFn(channelB ? 1 : 0);
  Created = true;
}

bool TMeterPanel::IsVisible() const {
  return Handle && IsVisibleFn() != 0;
}

void TMeterPanel::Visible(bool show) {
  if (Handle) VisibleFn(show ? 1 : 0);
}

void TMeterPanel::Update(const TMultimeterRecord &record) {
  if (Handle) UpdateFn(record);
}

void TMeterPanel::Release() {
  if (!Handle) return;
  if (Created) {
    VisibleFn(0);
    DestroyFn();
    Created = false;
  }
  dlclose(Handle);
  Handle = nullptr;
  CreateFn = nullptr;
  VisibleFn = nullptr;
  IsVisibleFn = nullptr;
  UpdateFn = nullptr;
  DestroyFn = nullptr;
}
