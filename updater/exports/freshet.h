/* The C interface of libFreshet.so, the update library.
 *
 * Strings are NUL-terminated UTF-8. A host sets the product id and its
 * strings, then runs a check (with or without dialogs); Freshets_Clear ends
 * the work on one product. The exports are called from the host's
 * user-interface thread; no setter may be called while a dialog is open.
 * Window handles are not used (the dialogs have no owner). A cancel handle
 * is NULL or points at an ORV::Utils::Sync::Event the host sets to stop
 * waiting for the installer program. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* Kept for hosts that forward their messages and idle time; they do nothing. */
int FreshetsFilterDllMsg(void* message);
void FreshetsProcessDllIdle(void);

void Freshets_SetProduct(const char* productId);
void Freshets_SetVersion(int major, int minor, int revision, int build); /* not used */
void Freshets_SetExtra(const char* extra);
void Freshets_SetUpdateType(const char* updateType);         /* "M" asked by the user, "A" automatic */
void Freshets_SetServerUrl(const char* url);                 /* "" or NULL: the built-in service */
void Freshets_OverrideSettingsIfAvailable(const char* path); /* NULL or "": the default file */
void Freshets_GetFreshetVersion(int* major, int* minor, int* revision);
int Freshets_CheckServerForUpdates(void);
void Freshets_ShowNoUpdatesAvailableMessage(void);
int Freshets_ShowUpdatesAvailableDialog(void);
int Freshets_DownloadUpdates(int unused, void* cancel);
int Freshets_InstallUpdates(int unused, void* cancel);
int Freshets_InstallCheckOnStart(void);
void Freshets_SetUiLevel(int level);
void Freshets_DoUpdateCheck(void);
void Freshets_DoUpdateCheckAndInstallationWithDialog(void* window, int manual);
void Freshets_DoUpdateCheckAndInstallationWithDialogAfterUpdateCheck(void* window, int manual);
int Freshets_CleanInstallationDirectory(void);
int Freshets_HandleInstaller(void);
void Freshets_Clear(void);

#ifdef __cplusplus
}
#endif
