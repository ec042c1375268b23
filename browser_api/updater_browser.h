#ifndef RIVAZERIDUV_UPDATER_UPDATER_BROWSER_H_
#define RIVAZERIDUV_UPDATER_UPDATER_BROWSER_H_

/* The browser's side of the updater: the named events a running browser
 * holds for the updater to see, whether an update is being installed, the
 * updater started with the browser's switches and waited for, and what its
 * exit code means. The names of the events are derived from the browser's
 * real executable path exactly as the updater derives them from its
 * "real-exe-path" switch, by the updater's own code.
 *
 * Usable from C and C++. Text is UTF-8 on every platform (NUL-terminated
 * "const char*"; on Windows it is converted to the wide form the system
 * takes). A path or version that is not valid UTF-8 is refused, since the
 * updater would see another text than the browser meant.
 *
 * Handles are opaque and belong to the caller, who frees each with its own
 * release function; releasing NULL does nothing. The functions of one handle
 * may not run on two threads at once; distinct handles are independent.
 * The browser and the updater must run as the same user: named objects
 * belong to the user who created them (see the updater's documentation).
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever a declaration here changes incompatibly. */
#define RZ_UPDATER_BROWSER_API_VERSION 1

/* ---- The installation's named events ---- */

/* The objects of one browser installation, named from its real executable
 * path. Holds no event until asked to. */
typedef struct RzUpdaterInstallation RzUpdaterInstallation;

typedef enum RzUpdaterEvent {
  /* The browser is running: a portable swap then puts the new executable
   * beside the running one ("new_brelix.exe") instead of over it. */
  kRzUpdaterBrowserRunning = 0,
  /* While it exists the updater installs no browser update. */
  kRzUpdaterAbortInstaller = 1,
  /* While it exists the updater installs no plug-in update. */
  kRzUpdaterAbortPlugin = 2,
  /* While it exists the updater's dialog offers a restart after an update;
   * it sets the event when the user accepts. */
  kRzUpdaterNeedRestart = 3
} RzUpdaterEvent;

/* NULL when `real_exe_path` is NULL, empty or not UTF-8. The path is taken
 * as written (not resolved): give the one passed to the updater, which
 * RzUpdaterStart does. */
RzUpdaterInstallation* RzUpdaterOpenInstallation(const char* real_exe_path);
/* Releases every event it holds. */
void RzUpdaterCloseInstallation(RzUpdaterInstallation* installation);

/* Creates the event (not signalled), or joins it when this user's process
 * holds it already, and holds it until released; holding it twice is
 * holding it once. 1 on success; 0 when it cannot be had (on Linux: another
 * user holds an object of that name) or `event` is unknown. */
int RzUpdaterHoldEvent(RzUpdaterInstallation* installation, RzUpdaterEvent event);
/* The event vanishes when its last holder, in any process, releases it. */
void RzUpdaterReleaseEvent(RzUpdaterInstallation* installation, RzUpdaterEvent event);
/* 1 when the event is held here and signalled (for kRzUpdaterNeedRestart:
 * the user accepted a restart), else 0. */
int RzUpdaterIsEventSet(const RzUpdaterInstallation* installation, RzUpdaterEvent event);
/* Back to not signalled; 1 on success, 0 when the event is not held here. */
int RzUpdaterResetEvent(RzUpdaterInstallation* installation, RzUpdaterEvent event);

/* 1 while an updater is installing an update of this installation (it holds
 * the "_under_upgrade" mutex), else 0. The answer can change at any moment
 * after it is given. */
int RzUpdaterIsUnderUpgrade(const RzUpdaterInstallation* installation);

/* ---- Starting the updater ---- */

/* The switches the browser passes; NULL, "" and 0 leave one out. Zero it
 * (memset or "= {0}") before filling it in. */
typedef struct RzUpdaterSwitches {
  const char* current_version; /* "current": enables the browser update */
  const char* plugin_version;  /* "pepper-version": enables the plug-in update */
  const char* language;        /* "langid", e.g. "zh-CN" */
  int interactive;             /* "kr-check-update": show the dialog, ask first */
  int portable;                /* "portable": a portable installation */
  int plugin_64bit;            /* "64bit": the 64-bit plug-in */
} RzUpdaterSwitches;

/* A started updater, until released. */
typedef struct RzUpdaterProcess RzUpdaterProcess;

/* Starts the updater at `updater_path` with `switches` and "real-exe-path"
 * = the installation's path. The path is taken as it is, never searched for:
 * give an absolute one. The updater gets the browser's user, environment
 * (TMPDIR chooses where it downloads) and current directory, and nothing
 * open but the standard streams. NULL when a text is not UTF-8 or the
 * program cannot be started. */
RzUpdaterProcess* RzUpdaterStart(const RzUpdaterInstallation* installation,
                                 const char* updater_path,
                                 const RzUpdaterSwitches* switches);

typedef enum RzUpdaterWaitResult {
  kRzUpdaterEnded = 0,        /* it ended; *exit_code holds its exit code */
  kRzUpdaterStillRunning = 1, /* the time-out passed first */
  kRzUpdaterWaitFailed = 2    /* it ended without an exit code (killed), or
                                 nothing can tell (on POSIX: someone else
                                 reaped it, e.g. SIGCHLD ignored) */
} RzUpdaterWaitResult;

#define RZ_UPDATER_WAIT_FOREVER 0xFFFFFFFFu

/* Waits at most `timeout_ms` milliseconds (0: only looks; a poll) for the
 * updater to end. Once it has ended every later call gives the same answer
 * at once. `exit_code` may be NULL. */
RzUpdaterWaitResult RzUpdaterWait(RzUpdaterProcess* process, uint32_t timeout_ms, int* exit_code);
/* Lets the updater go on alone if it still runs (it is never stopped: an
 * update cut short is the updater's to finish or undo, not the browser's). */
void RzUpdaterReleaseProcess(RzUpdaterProcess* process);

/* ---- What an exit code means ---- */

typedef enum RzUpdaterSource {
  kRzUpdaterRun = 0,         /* the run as a whole, or either flow */
  kRzUpdaterBrowserFlow = 1, /* the browser update: "current" was given */
  kRzUpdaterPluginFlow = 2   /* the plug-in update */
} RzUpdaterSource;

typedef struct RzUpdaterExitCodeInfo {
  int code;
  RzUpdaterSource source;  /* which part of a run gives it */
  const char* name;        /* stable, e.g. "BrowserSignatureInvalid" */
  const char* description; /* one line of English */
  int is_failure;          /* 0 for installed (0) and nothing to install (4) */
} RzUpdaterExitCodeInfo;

/* The meaning of `exit_code` as `source` gives it; with kRzUpdaterRun the
 * first row of that code, whichever part gives it (the two flows number
 * their failures apart, so 29 is a browser abort or a plug-in download
 * without response: a browser that passed only one of "current" and
 * "pepper-version" knows which). NULL for a code the updater never gives.
 * The row lives as long as the program. */
const RzUpdaterExitCodeInfo* RzUpdaterDescribeExitCode(int exit_code, RzUpdaterSource source);
/* Every row, for listing: index 0 to RzUpdaterExitCodeCount() - 1; NULL
 * past the end. */
size_t RzUpdaterExitCodeCount(void);
const RzUpdaterExitCodeInfo* RzUpdaterExitCodeAt(size_t index);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* RIVAZERIDUV_UPDATER_UPDATER_BROWSER_H_ */
