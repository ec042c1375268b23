// Creates, holds, signals and lists the named kernel objects that the updater
// shares with the browser, for tests and scripts.
//
//   kernel_object_tool create-event NAME   create (or open) and hold
//   kernel_object_tool hold-event NAME     open an existing event and hold it
//   kernel_object_tool hold-mutex NAME     create (or open), acquire and hold
//   kernel_object_tool set NAME | reset NAME
//   kernel_object_tool wait TIMEOUT_MS NAME...   print the index that ended it
//   kernel_object_tool exists NAME
//   kernel_object_tool list                every user's objects
//
// Holding commands print "ready" once the object is held and keep it until
// standard input ends or the process is killed. Only the user that created
// an object can hold, set, reset or wait for it; everyone sees it. Exit
// codes: 0 done, 1 no such object (or another user's) or a failure, 2 bad
// usage, 3 mutex busy, 4 wait timed out.
#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_util.h"
#include "kernel_objects/kernel_objects.h"

namespace {

using updater::MutexAcquireResult;
using updater::NamedEvent;
using updater::NamedMutex;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBusy = 3;
constexpr int kExitTimedOut = 4;

void HoldUntilInputEnds() {
  std::cout << "ready" << std::endl;
  while (std::cin.get() != std::char_traits<char>::eof()) {
  }
}

int Usage() {
  std::cerr << "usage: kernel_object_tool create-event|hold-event|hold-mutex|set|reset|exists "
               "NAME\n       kernel_object_tool wait TIMEOUT_MS NAME...\n"
               "       kernel_object_tool list\n";
  return kExitUsage;
}

int HoldEvent(const NamedEvent& event) {
  if (!event.IsValid()) {
    std::cerr << "no such event\n";
    return kExitFailed;
  }
  std::cout << (event.already_existed() ? "opened" : "created") << std::endl;
  HoldUntilInputEnds();
  return kExitDone;
}

const char* Describe(MutexAcquireResult result) {
  switch (result) {
    case MutexAcquireResult::kAcquired:
      return "acquired";
    case MutexAcquireResult::kBusy:
      return "busy";
    case MutexAcquireResult::kAbandoned:
      return "abandoned";
    case MutexAcquireResult::kFailed:
      break;
  }
  return "failed";
}

int HoldMutex(std::u16string_view name) {
  NamedMutex mutex = NamedMutex::Create(name);
  const MutexAcquireResult result = mutex.TryAcquire();
  std::cout << Describe(result) << std::endl;
  if (result == MutexAcquireResult::kBusy) {
    return kExitBusy;
  }
  if (result == MutexAcquireResult::kFailed) {
    return kExitFailed;
  }
  HoldUntilInputEnds();
  mutex.Release();
  return kExitDone;
}

int ChangeEvent(std::u16string_view name, bool signaled) {
  const NamedEvent event = NamedEvent::Open(name);
  const bool changed = signaled ? event.Set() : event.Reset();
  return changed ? kExitDone : kExitFailed;
}

int Wait(std::string_view timeout_text, const std::vector<std::string>& names) {
  uint32_t timeout_ms = 0;
  const auto [end, error] =
      std::from_chars(timeout_text.data(), timeout_text.data() + timeout_text.size(), timeout_ms);
  if (error != std::errc() || end != timeout_text.data() + timeout_text.size() || names.empty()) {
    return Usage();
  }
  std::vector<NamedEvent> events;
  std::vector<const NamedEvent*> pointers;
  events.reserve(names.size());
  for (const std::string& name : names) {
    events.push_back(NamedEvent::Open(updater::UTF8ToUTF16(name)));
    pointers.push_back(&events.back());
  }
  std::cout << "ready" << std::endl;
  const int result = updater::WaitForFirstEvent(pointers, timeout_ms);
  if (result == updater::kWaitTimedOut) {
    std::cout << "timeout" << std::endl;
    return kExitTimedOut;
  }
  if (result < 0) {
    std::cout << "failed" << std::endl;
    return kExitFailed;
  }
  std::cout << result << std::endl;
  return kExitDone;
}

int List() {
  for (const updater::KernelObjectInfo& object : updater::ListKernelObjects()) {
    const bool is_event = object.kind == updater::KernelObjectKind::kEvent;
    std::cout << (is_event ? "event " : "mutex ") << updater::UTF16ToUTF8(object.name) << " "
              << (is_event ? (object.signaled_or_owned ? "signaled" : "not-signaled")
                           : (object.signaled_or_owned ? "owned" : "free"))
              << "\n";
  }
  return kExitDone;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 1 && args[0] == "list") {
    return List();
  }
  if (args.size() >= 3 && args[0] == "wait") {
    return Wait(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
  }
  if (args.size() != 2) {
    return Usage();
  }
  const std::string& command = args[0];
  const std::u16string name = updater::UTF8ToUTF16(args[1]);
  if (command == "create-event") {
    return HoldEvent(NamedEvent::Create(name));
  }
  if (command == "hold-event") {
    return HoldEvent(NamedEvent::Open(name));
  }
  if (command == "hold-mutex") {
    return HoldMutex(name);
  }
  if (command == "set" || command == "reset") {
    return ChangeEvent(name, command == "set");
  }
  if (command == "exists") {
    const bool exists = updater::KernelObjectExists(name);
    std::cout << (exists ? "yes" : "no") << "\n";
    return exists ? kExitDone : kExitFailed;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
