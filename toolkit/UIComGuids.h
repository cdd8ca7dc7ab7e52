// Interface and command-group ids of the browser host that mingw-w64's libuuid does not carry; defined once
// in UIComGuids.cpp (the stand-in browser engine compiles that file too).
#pragma once

#include <windows.h>

#include <downloadmgr.h>
#include <mshtmhst.h>

// The download-manager service is asked for under the interface's own id, as the platform headers define it.
#ifndef SID_SDownloadManager
#define SID_SDownloadManager IID_IDownloadManager
#endif
