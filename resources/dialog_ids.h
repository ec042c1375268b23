#ifndef RESOURCES_DIALOG_IDS_H_
#define RESOURCES_DIALOG_IDS_H_

// The update dialog's resource and control ids, for the resource script and
// the code alike; the script's compiler reads only the preprocessor, hence
// macros. Confirm and Abort answer as the system's own OK and Abort ids.
#define UPDATER_APP_ICON 128
#define UPDATER_DIALOG_TEMPLATE 108
#define UPDATER_DIALOG_LINES 109
#define UPDATER_DIALOG_OPEN_FOLDER 110
#define UPDATER_DIALOG_CONFIRM 1
#define UPDATER_DIALOG_ABORT 3

#endif  // RESOURCES_DIALOG_IDS_H_
