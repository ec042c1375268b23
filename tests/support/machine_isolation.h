#ifndef TESTS_SUPPORT_MACHINE_ISOLATION_H_
#define TESTS_SUPPORT_MACHINE_ISOLATION_H_

// A machine of its own for a test process that runs the updater: kernel
// objects, network and host names no other test run meets.

#include <string>
#include <vector>

namespace updater::test_support {

// Gives this process, and everything it starts later, a kernel-object
// directory, a loopback network and a hosts file of its own, so that
// machine-wide names and fixed ports meet no other test run. `hosts` lists
// the names to resolve to 127.0.0.1. Must run before the process starts a
// thread; later calls change nothing. False when it cannot be had (not
// root, no /etc/hosts to replace, "/" not a mount point): the process then
// shares the machine's, and MachineIsolationFailure() says why in one line.
bool IsolateFromMachine(const std::vector<std::string>& hosts);
const std::string& MachineIsolationFailure();

// TCP connections accepted in this process's network namespace so far, by
// any listener: with IsolateFromMachine(), exactly those the updater made to
// the test's servers, connectivity checks included.
long AcceptedTcpConnections();

}  // namespace updater::test_support

#endif  // TESTS_SUPPORT_MACHINE_ISOLATION_H_
