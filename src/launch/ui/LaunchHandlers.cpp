// Handing the open file to the application associated with it. On XDG desktops both commands start
// the desktop's default application for SPSS data files, or the next one when that is Brindle
// itself, with the file as one argument; on Windows the menu command asks the
// shell and raises the application's window, Ctrl+N starts the registry's
// open command. On macOS the menu command asks the desktop to open the file.
#include <QDesktopServices>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <string>
#include <vector>

#include "launch/OpenCommand.h"
#include "launch/ui/LaunchHandlers.h"
#include "platform/UiService.h"

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#endif

namespace brindle {

namespace {

void ReportStartFailure(UiService& ui) {
  ui.SystemMessageBox(QStringLiteral("Error"), QStringLiteral("Cannot't execute application"),
                      MessageIcon::Warning);
}

#ifndef _WIN32
// Starts the command with the file as its last argument, detached: the viewer
// neither waits for nor tracks it. False when there is no command or it
// cannot be started.
bool StartWithFile(const std::string& command, const std::string& fileName) {
  std::vector<std::string> argv = SplitExecLine(command);
  if (argv.empty()) return false;
  QStringList arguments;
  for (std::size_t i = 1; i < argv.size(); ++i) arguments << QString::fromStdString(argv[i]);
  arguments << QString::fromStdString(fileName);
  return QProcess::startDetached(QString::fromStdString(argv.front()), arguments);
}
#endif

}  // namespace

void OpenInAssociatedApplication(UiService& ui, const std::string& fileName) {
  if (fileName.empty()) return;
#ifdef _WIN32
  const std::wstring name =
      std::filesystem::path(QString::fromStdString(fileName).toStdWString()).wstring();
  std::wstring quoted = L"\"";
  for (wchar_t c : name) {
    if (c == L'"') quoted += L'"';
    quoted += c;
  }
  quoted += L'"';
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", quoted.c_str(), L"", L"", SW_SHOWNORMAL));
  if (result <= 32) {
    ReportStartFailure(ui);
    return;
  }
  const std::wstring title =
      std::filesystem::path(name).filename().wstring() + L" - SPSS Data Editor";
  if (HWND window = FindWindowW(nullptr, title.c_str())) {
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
  }
#elif defined(__APPLE__)
  // No XDG associations here: the desktop opens the file with its own choice.
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(fileName))))
    ReportStartFailure(ui);
#else
  if (!StartWithFile(GetOpenCommand(fileName), fileName)) ReportStartFailure(ui);
#endif
}

void StartRegisteredCommand(UiService& ui, const std::string& fileName) {
  if (fileName.empty()) return;
#ifdef _WIN32
  std::wstring commandLine =
      QString::fromStdString(GetOpenCommand(fileName)).toStdWString() + L" '";
  for (wchar_t c : QString::fromStdString(fileName).toStdWString()) {
    if (c == L'\'') commandLine += L'\'';
    commandLine += c;
  }
  commandLine += L'\'';
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &process)) {
    ReportStartFailure(ui);
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
#else
  if (!StartWithFile(GetOpenCommand(fileName), fileName)) ReportStartFailure(ui);
#endif
}

}  // namespace brindle
