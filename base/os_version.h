#ifndef BASE_OS_VERSION_H_
#define BASE_OS_VERSION_H_

namespace updater {

// An ordered classification of the running Windows version; compare by
// order ("Windows 7 or later" is at least kOsWin7).
enum OsVersionClass : int {
  kOsPreXp = 0,
  kOsXp = 1,
  kOsServer2003 = 2,
  kOsVista = 3,
  kOsWin7 = 4,
  kOsWin8 = 5,
  kOsWin81 = 6,
  kOsWin10 = 7,
  kOsWin10Build10586 = 8,
  kOsLater = 9,
};

// Maps a Windows version number to its class; all zeros (an unknown
// version) is kOsPreXp.
OsVersionClass ClassifyOsVersion(int major, int minor, int build);

// The running system's class, computed on first request and then fixed for
// the process. Other systems count as the highest class.
OsVersionClass GetOsVersionClass();

}  // namespace updater

#endif  // BASE_OS_VERSION_H_
