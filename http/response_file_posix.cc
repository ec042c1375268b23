#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "base/native_posix.h"
#include "http/response_file_platform.h"

namespace updater::platform {

bool WriteResponseFile(EntryAt entry, std::span<const uint8_t> bytes) {
  std::string name;
  if (!posix::ToNativeName(entry.name, name)) return false;
  // A new file, so that nothing planted at the path (a link, a FIFO, a file
  // that someone else can still write through an open descriptor) is used.
  posix::ScopedFd file(openat(posix::DescriptorOf(entry.directory), name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRWXU));
  return file.IsValid() && fchmod(file.get(), S_IRWXU) == 0 &&
         posix::WriteFully(file.get(), bytes) && file.Close();
}

}  // namespace updater::platform
