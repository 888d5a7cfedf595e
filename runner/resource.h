// Resource ids of orva_vpn.exe, shared by runner.rc and the code.
#ifndef ORVA_RUNNER_RESOURCE_H_
#define ORVA_RUNNER_RESOURCE_H_

// The application icon; Win32Window loads it as the window class icon.
#define IDI_APP_ICON 101

#endif  // ORVA_RUNNER_RESOURCE_H_
