// Named kernel objects are Windows' own: the object manager gives the names,
// the machine-wide "Global\" namespace, manual-reset events, abandoned
// mutexes and the lifetime by handles that the other platforms imitate.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/native_win.h"
#include "kernel_objects/handle_verifier.h"
#include "kernel_objects/kernel_objects_platform.h"

namespace updater::platform {

class KernelObjectHandle {
 public:
  KernelObjectHandle(HANDLE handle, KernelObjectKind kind) : handle_(handle), kind_(kind) {
    RecordOpenedHandle(handle_);
  }
  ~KernelObjectHandle() {
    RecordClosedHandle(handle_);
    CloseHandle(handle_);
  }
  KernelObjectHandle(const KernelObjectHandle&) = delete;
  KernelObjectHandle& operator=(const KernelObjectHandle&) = delete;

  HANDLE get() const { return handle_; }
  KernelObjectKind kind() const { return kind_; }

 private:
  HANDLE handle_;
  KernelObjectKind kind_;
};

void KernelObjectHandleCloser::operator()(KernelObjectHandle* handle) const {
  delete handle;
}

namespace {

constexpr DWORD kEventAccess = SYNCHRONIZE | EVENT_MODIFY_STATE;
constexpr DWORD kMutexAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

HANDLE Create(const std::wstring& name, KernelObjectKind kind, bool initially_owned) {
  if (kind == KernelObjectKind::kEvent) {
    return CreateEventW(nullptr, /*bManualReset=*/TRUE, /*bInitialState=*/FALSE, name.c_str());
  }
  return CreateMutexW(nullptr, initially_owned, name.c_str());
}

HANDLE OpenExisting(const std::wstring& name, KernelObjectKind kind) {
  if (kind == KernelObjectKind::kEvent) return OpenEventW(kEventAccess, FALSE, name.c_str());
  return OpenMutexW(kMutexAccess, FALSE, name.c_str());
}

}  // namespace

OpenedKernelObject OpenKernelObject(std::u16string_view name,
                                    KernelObjectKind kind,
                                    KernelObjectDisposition disposition) {
  const std::wstring wide_name = win::ToWide(name);
  OpenedKernelObject opened;
  HANDLE handle = nullptr;
  if (disposition == KernelObjectDisposition::kOpenExisting) {
    handle = OpenExisting(wide_name, kind);
    opened.already_existed = handle != nullptr;
  } else {
    handle = Create(wide_name, kind, disposition == KernelObjectDisposition::kCreateOwned);
    opened.already_existed = handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    // An existing mutex is opened without the ownership asked for.
    opened.owned = handle != nullptr && !opened.already_existed &&
                   disposition == KernelObjectDisposition::kCreateOwned;
  }
  if (handle) opened.handle.reset(new KernelObjectHandle(handle, kind));
  return opened;
}

void SetEventState(KernelObjectHandle& event, bool signaled) {
  if (signaled) {
    SetEvent(event.get());
  } else {
    ResetEvent(event.get());
  }
}

bool GetEventState(const KernelObjectHandle& event) {
  return WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

static_assert(kMaxWaitEvents <= MAXIMUM_WAIT_OBJECTS);

int WaitForFirstSignaled(std::span<const KernelObjectHandle* const> events, uint32_t timeout_ms) {
  // The system's limit is checked here too, so that no caller can overrun the
  // array; every slot the wait reads is filled.
  if (events.empty() || events.size() > kMaxWaitEvents) return kWaitFailed;
  std::array<HANDLE, kMaxWaitEvents> handles{};
  std::ranges::transform(events, handles.begin(),
                         [](const KernelObjectHandle* event) { return event->get(); });
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(events.size()), handles.data(),
                                              /*bWaitAll=*/FALSE, timeout_ms);
  if (result < WAIT_OBJECT_0 + events.size()) return static_cast<int>(result - WAIT_OBJECT_0);
  if (result == WAIT_TIMEOUT) return kWaitTimedOut;
  return kWaitFailed;
}

MutexAcquireResult AcquireMutexOwnership(KernelObjectHandle& mutex) {
  switch (WaitForSingleObject(mutex.get(), 0)) {
    case WAIT_OBJECT_0:
      return MutexAcquireResult::kAcquired;
    case WAIT_ABANDONED:
      return MutexAcquireResult::kAbandoned;
    case WAIT_TIMEOUT:
      return MutexAcquireResult::kBusy;
    default:
      return MutexAcquireResult::kFailed;
  }
}

void ReleaseMutexOwnership(KernelObjectHandle& mutex) {
  ReleaseMutex(mutex.get());
}

// A name taken by the other kind, or by another user's object that this one
// may not open, exists all the same.
bool KernelObjectExists(std::u16string_view name) {
  const std::wstring wide_name = win::ToWide(name);
  for (const KernelObjectKind kind : {KernelObjectKind::kEvent, KernelObjectKind::kMutex}) {
    const HANDLE handle = kind == KernelObjectKind::kEvent
                              ? OpenEventW(SYNCHRONIZE, FALSE, wide_name.c_str())
                              : OpenMutexW(SYNCHRONIZE, FALSE, wide_name.c_str());
    if (handle) {
      CloseHandle(handle);
      return true;
    }
    if (GetLastError() == ERROR_ACCESS_DENIED) return true;
  }
  return false;
}

bool WaitableEventExists(std::u16string_view name) {
  const HANDLE handle = OpenEventW(SYNCHRONIZE, FALSE, win::ToWide(name).c_str());
  if (!handle) return false;
  CloseHandle(handle);
  return true;
}

namespace {

// The object directory that "Global\" names live in; read through ntdll,
// whose directory calls are the only way to list named objects.
constexpr wchar_t kGlobalObjectDirectory[] = L"\\BaseNamedObjects";
constexpr std::u16string_view kGlobalPrefix = u"Global\\";
constexpr ACCESS_MASK kDirectoryQuery = 0x0001;
constexpr NTSTATUS kStatusNoMoreEntries = static_cast<NTSTATUS>(0x8000001AL);

struct ObjectDirectoryEntry {
  UNICODE_STRING name;
  UNICODE_STRING type_name;
};

using NtOpenDirectoryObjectFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
using NtQueryDirectoryObjectFunction =
    NTSTATUS(NTAPI*)(HANDLE, PVOID, ULONG, BOOLEAN, BOOLEAN, PULONG, PULONG);

template <typename Function>
Function NtdllFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

std::u16string Text(const UNICODE_STRING& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.Buffer),
                        text.Length / sizeof(wchar_t));
}

std::optional<KernelObjectInfo> DescribeEntry(const ObjectDirectoryEntry& entry) {
  const std::u16string type = Text(entry.type_name);
  KernelObjectKind kind;
  if (type == u"Event") {
    kind = KernelObjectKind::kEvent;
  } else if (type == u"Mutant") {
    kind = KernelObjectKind::kMutex;
  } else {
    return std::nullopt;
  }
  KernelObjectInfo info{std::u16string(kGlobalPrefix) + Text(entry.name), kind, false};
  const std::wstring wide_name = win::ToWide(info.name);
  const HANDLE handle = kind == KernelObjectKind::kEvent
                            ? OpenEventW(SYNCHRONIZE, FALSE, wide_name.c_str())
                            : OpenMutexW(SYNCHRONIZE, FALSE, wide_name.c_str());
  if (handle) {
    const DWORD state = WaitForSingleObject(handle, 0);
    // Looking at a free mutex takes it for a moment; give it back.
    if (kind == KernelObjectKind::kMutex && (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED)) {
      ReleaseMutex(handle);
    }
    info.signaled_or_owned =
        kind == KernelObjectKind::kEvent ? state == WAIT_OBJECT_0 : state == WAIT_TIMEOUT;
    CloseHandle(handle);
  }
  return info;
}

}  // namespace

std::vector<KernelObjectInfo> ListKernelObjects() {
  std::vector<KernelObjectInfo> objects;
  const auto open_directory = NtdllFunction<NtOpenDirectoryObjectFunction>("NtOpenDirectoryObject");
  const auto query_directory =
      NtdllFunction<NtQueryDirectoryObjectFunction>("NtQueryDirectoryObject");
  if (!open_directory || !query_directory) return objects;
  UNICODE_STRING directory_name;
  directory_name.Buffer = const_cast<PWSTR>(kGlobalObjectDirectory);
  directory_name.Length = sizeof(kGlobalObjectDirectory) - sizeof(wchar_t);
  directory_name.MaximumLength = sizeof(kGlobalObjectDirectory);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &directory_name, 0, nullptr, nullptr);
  HANDLE directory = nullptr;
  if (open_directory(&directory, kDirectoryQuery, &attributes) < 0) return objects;
  alignas(ObjectDirectoryEntry) unsigned char buffer[4096];
  ULONG context = 0;
  for (bool first = true;; first = false) {
    ULONG length = 0;
    const NTSTATUS status =
        query_directory(directory, buffer, sizeof(buffer), TRUE, first, &context, &length);
    if (status == kStatusNoMoreEntries || status < 0) break;
    const auto* entry = reinterpret_cast<const ObjectDirectoryEntry*>(buffer);
    if (std::optional<KernelObjectInfo> info = DescribeEntry(*entry)) {
      objects.push_back(std::move(*info));
    }
  }
  CloseHandle(directory);
  return objects;
}

}  // namespace updater::platform
