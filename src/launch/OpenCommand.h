// Finding the application the desktop associates with a data file, without
// any GUI: on Linux and other XDG desktops, mimeapps.list and the desktop
// entries under the XDG folders; on Windows, the registry's file classes.
#pragma once

#include <string>
#include <vector>

namespace brindle {

// The MIME type of SPSS system files, compressed (.zsav) or not.
inline constexpr const char* kSavMimeType = "application/x-spss-sav";
// The desktop entry this program installs; never chosen to open a file.
inline constexpr const char* kOwnDesktopId = "brindle.desktop";

// The folders of the XDG base directory and MIME applications rules, most
// important first within each list.
struct XdgFolders {
  std::string configHome;               // $XDG_CONFIG_HOME, ~/.config
  std::vector<std::string> configDirs;  // $XDG_CONFIG_DIRS, /etc/xdg
  std::string dataHome;                 // $XDG_DATA_HOME, ~/.local/share
  std::vector<std::string> dataDirs;    // $XDG_DATA_DIRS, /usr/local/share:/usr/share
  std::vector<std::string> desktops;    // $XDG_CURRENT_DESKTOP, lower case
};

// The folders the environment names, with the standard defaults for unset
// or empty variables.
XdgFolders XdgFoldersFromEnvironment();

// The MIME type of a file by its extension (letter case ignored): .sav and
// .zsav give kSavMimeType, anything else "".
std::string MimeTypeForFileName(const std::string& fileName);

// The desktop entries associated with a MIME type, in the order the desktop
// prefers them: the defaults of every mimeapps.list (desktop-specific files
// first, configuration folders before data folders), then their added
// associations, then every installed entry that lists the type. Entries
// removed by a mimeapps.list, hidden entries, entries without an Exec line
// and ids without an installed entry are left out. Each id appears once.
std::vector<std::string> AssociatedDesktopIds(const XdgFolders& folders,
                                              const std::string& mimeType);

// An Exec line cut before its first file or URL field code (%f, %F, %u,
// %U), trailing blanks removed.
std::string ExecUpToFieldCode(const std::string& exec);

// An Exec line (or a part of one) split into program and arguments by the
// desktop entry quoting rules: blanks separate arguments, double quotes
// group, and inside them a backslash keeps the next character. "%%" becomes
// "%"; other field codes are dropped.
std::vector<std::string> SplitExecLine(const std::string& exec);

// The command registered to open the file: the Exec line of the first
// associated application that is not this program, up to its first field
// code; "" when there is none. On Windows, the registry's open command for
// the file's extension, up to its first "%1".
std::string GetOpenCommand(const std::string& fileName);
std::string GetOpenCommand(const std::string& fileName, const XdgFolders& folders);

}  // namespace brindle
