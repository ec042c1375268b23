// Creates a named event whose access list lets everyone wait on it and
// nothing else, as a browser may make its events, and holds it until standard
// input ends. Takes the kernel-object tool's arguments, so that tests can use
// it in the tool's place:
//   wait_only_event create-event NAME
#include <windows.h>
// After windows.h.
#include <sddl.h>

#include <iostream>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || std::wstring(argv[1]) != L"create-event") {
    std::cerr << "usage: wait_only_event create-event NAME\n";
    return 2;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return 1;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  const HANDLE event = CreateEventW(&attributes, TRUE, FALSE, argv[2]);
  LocalFree(descriptor);
  if (!event) return 1;
  std::cout << "created" << std::endl << "ready" << std::endl;
  while (std::cin.get() != std::char_traits<char>::eof()) {
  }
  CloseHandle(event);
  return 0;
}
