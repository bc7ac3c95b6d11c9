#include "launcher/unsaved_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/win/window.h"
#include "shell/app.h"

void ReportUnsavedOptions(const char* what) {
  const int error = errno;
  char text[320];
  std::snprintf(text, sizeof text, "%s could not be saved in options.ini (%s).", what,
                error ? std::strerror(error) : "unknown error");
  MessageBoxA(mainWindow, text, "Plinkworks Lobbo", MB_ICONERROR);
}
