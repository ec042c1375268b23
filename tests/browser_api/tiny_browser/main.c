/* A browser in miniature, built against the installed library: it holds its
 * running event while the updater it starts runs, polls until the updater
 * ends and prints "<exit code> <name> <failure|success>". */
#include <rivazeriduv_updater/updater_browser.h>
#include <stdio.h>

int main(int argc, char** argv) {
  RzUpdaterInstallation* installation;
  RzUpdaterSwitches switches = {0};
  RzUpdaterProcess* updater;
  RzUpdaterWaitResult waited;
  const RzUpdaterExitCodeInfo* meaning;
  int exit_code = -1;

  if (argc != 4) {
    fprintf(stderr, "usage: %s BROWSER_EXE UPDATER CURRENT_VERSION\n", argv[0]);
    return 2;
  }
  installation = RzUpdaterOpenInstallation(argv[1]);
  if (installation == NULL || !RzUpdaterHoldEvent(installation, kRzUpdaterBrowserRunning)) {
    fprintf(stderr, "cannot hold the running event\n");
    return 3;
  }
  switches.current_version = argv[3];
  switches.portable = 1;
  updater = RzUpdaterStart(installation, argv[2], &switches);
  if (updater == NULL) {
    fprintf(stderr, "cannot start the updater\n");
    return 4;
  }
  do {
    waited = RzUpdaterWait(updater, 50, &exit_code);
  } while (waited == kRzUpdaterStillRunning);
  RzUpdaterReleaseProcess(updater);
  RzUpdaterCloseInstallation(installation);
  if (waited != kRzUpdaterEnded) return 5;

  meaning = RzUpdaterDescribeExitCode(exit_code, kRzUpdaterBrowserFlow);
  printf("%d %s %s\n", exit_code, meaning ? meaning->name : "unknown",
         meaning && !meaning->is_failure ? "success" : "failure");
  return 0;
}
