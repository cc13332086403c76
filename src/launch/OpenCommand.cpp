#include "launch/OpenCommand.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brindle {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> items;
  std::string item;
  for (char c : text) {
    if (c == separator) {
      if (!item.empty()) items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(item);
  return items;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Undoes the escapes of a desktop-file string value: \s \n \t \r \\.
// Other backslashes stay for the Exec quoting rules.
std::string Unescape(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char next = value[i + 1];
      const char* plain = nullptr;
      switch (next) {
        case 's':
          plain = " ";
          break;
        case 'n':
          plain = "\n";
          break;
        case 't':
          plain = "\t";
          break;
        case 'r':
          plain = "\r";
          break;
        case '\\':
          plain = "\\";
          break;
        default:
          break;
      }
      if (plain) {
        out += plain;
        ++i;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

// group name -> key -> raw value, of a desktop entry or mimeapps.list file.
// Localised keys (Name[de]) are kept under their full name.
using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

KeyFile ReadKeyFile(const fs::path& path) {
  KeyFile groups;
  std::ifstream in(path);
  if (!in) return groups;
  std::string line;
  std::string group;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      group = line.substr(1, line.size() - 2);
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos || group.empty()) continue;
    auto& keys = groups[group];
    const std::string key = Trim(line.substr(0, eq));
    // The first of duplicate keys counts.
    keys.emplace(key, Trim(line.substr(eq + 1)));
  }
  return groups;
}

std::string Lookup(const KeyFile& file, const std::string& group, const std::string& key) {
  const auto g = file.find(group);
  if (g == file.end()) return {};
  const auto k = g->second.find(key);
  return k == g->second.end() ? std::string() : k->second;
}

// Every mimeapps.list to consult, most important first.
std::vector<fs::path> MimeappsLists(const XdgFolders& folders) {
  std::vector<fs::path> lists;
  auto addFolder = [&](const std::string& dir) {
    if (dir.empty()) return;
    for (const std::string& desktop : folders.desktops)
      lists.push_back(fs::path(dir) / (desktop + "-mimeapps.list"));
    lists.push_back(fs::path(dir) / "mimeapps.list");
  };
  addFolder(folders.configHome);
  for (const auto& dir : folders.configDirs) addFolder(dir);
  auto addData = [&](const std::string& dir) {
    if (dir.empty()) return;
    addFolder((fs::path(dir) / "applications").string());
    // The older name of the defaults file.
    lists.push_back(fs::path(dir) / "applications" / "defaults.list");
  };
  addData(folders.dataHome);
  for (const auto& dir : folders.dataDirs) addData(dir);
  return lists;
}

std::vector<std::string> ApplicationFolders(const XdgFolders& folders) {
  std::vector<std::string> dirs;
  if (!folders.dataHome.empty())
    dirs.push_back((fs::path(folders.dataHome) / "applications").string());
  for (const auto& dir : folders.dataDirs)
    if (!dir.empty()) dirs.push_back((fs::path(dir) / "applications").string());
  return dirs;
}

// Installed desktop entries by id ("kde/foo.desktop" has the id
// "kde-foo.desktop"); an id found in a more important folder hides the others.
std::map<std::string, fs::path> InstalledEntries(const XdgFolders& folders) {
  std::map<std::string, fs::path> entries;
  for (const std::string& dir : ApplicationFolders(folders)) {
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const fs::path& path = it->path();
      if (path.extension() != ".desktop" || !it->is_regular_file(ec)) continue;
      std::string id = fs::relative(path, dir, ec).generic_string();
      if (ec) continue;
      std::replace(id.begin(), id.end(), '/', '-');
      entries.emplace(id, path);
    }
  }
  return entries;
}

struct DesktopEntry {
  bool usable = false;  // an application that is not hidden and has an Exec line
  std::string exec;
  std::vector<std::string> mimeTypes;
};

DesktopEntry ReadDesktopEntry(const fs::path& path) {
  const KeyFile file = ReadKeyFile(path);
  DesktopEntry entry;
  const std::string group = "Desktop Entry";
  entry.exec = Unescape(Lookup(file, group, "Exec"));
  entry.mimeTypes = SplitList(Lookup(file, group, "MimeType"), ';');
  const std::string type = Lookup(file, group, "Type");
  entry.usable = !entry.exec.empty() && Lookup(file, group, "Hidden") != "true" &&
                 (type.empty() || type == "Application");
  return entry;
}

bool IsOwnEntry(const std::string& id, const std::string& exec) {
  if (id == kOwnDesktopId) return true;
  const std::vector<std::string> argv = SplitExecLine(exec);
  return !argv.empty() && fs::path(argv.front()).filename() == "brindle";
}

}  // namespace

XdgFolders XdgFoldersFromEnvironment() {
  XdgFolders folders;
  const std::string home = Env("HOME");
  folders.configHome = Env("XDG_CONFIG_HOME");
  if (folders.configHome.empty() && !home.empty()) folders.configHome = home + "/.config";
  folders.configDirs = SplitList(Env("XDG_CONFIG_DIRS"), ':');
  if (folders.configDirs.empty()) folders.configDirs = {"/etc/xdg"};
  folders.dataHome = Env("XDG_DATA_HOME");
  if (folders.dataHome.empty() && !home.empty()) folders.dataHome = home + "/.local/share";
  folders.dataDirs = SplitList(Env("XDG_DATA_DIRS"), ':');
  if (folders.dataDirs.empty()) folders.dataDirs = {"/usr/local/share", "/usr/share"};
  for (std::string desktop : SplitList(Env("XDG_CURRENT_DESKTOP"), ':')) {
    for (char& c : desktop)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    folders.desktops.push_back(desktop);
  }
  return folders;
}

namespace {

// The associated entries with their Exec lines, in the order of AssociatedDesktopIds.
std::vector<std::pair<std::string, std::string>> Associations(const XdgFolders& folders,
                                                              const std::string& mimeType) {
  const std::map<std::string, fs::path> installed = InstalledEntries(folders);
  std::map<std::string, DesktopEntry> cache;
  auto entry = [&](const std::string& id) -> const DesktopEntry* {
    auto hit = cache.find(id);
    if (hit == cache.end()) {
      const auto path = installed.find(id);
      hit = cache
                .emplace(id,
                         path == installed.end() ? DesktopEntry{} : ReadDesktopEntry(path->second))
                .first;
    }
    return hit->second.usable ? &hit->second : nullptr;
  };

  std::vector<std::string> defaults, added;
  std::set<std::string> removed;
  for (const fs::path& list : MimeappsLists(folders)) {
    const KeyFile file = ReadKeyFile(list);
    for (const auto& id : SplitList(Lookup(file, "Default Applications", mimeType), ';'))
      defaults.push_back(id);
    for (const auto& id : SplitList(Lookup(file, "Added Associations", mimeType), ';'))
      if (!removed.count(id)) added.push_back(id);
    for (const auto& id : SplitList(Lookup(file, "Removed Associations", mimeType), ';'))
      removed.insert(id);
  }

  std::vector<std::pair<std::string, std::string>> found;
  std::set<std::string> seen;
  auto take = [&](const std::string& id) {
    if (!seen.insert(id).second) return;
    if (const DesktopEntry* e = entry(id)) found.emplace_back(id, e->exec);
  };
  for (const auto& id : defaults) take(id);
  for (const auto& id : added) take(id);
  for (const auto& [id, path] : installed) {
    if (removed.count(id) || seen.count(id)) continue;
    const DesktopEntry* e = entry(id);
    if (e && std::find(e->mimeTypes.begin(), e->mimeTypes.end(), mimeType) != e->mimeTypes.end())
      take(id);
  }
  return found;
}

}  // namespace

std::vector<std::string> AssociatedDesktopIds(const XdgFolders& folders,
                                              const std::string& mimeType) {
  std::vector<std::string> ids;
  for (const auto& [id, exec] : Associations(folders, mimeType)) ids.push_back(id);
  return ids;
}

std::string ExecUpToFieldCode(const std::string& exec) {
  std::size_t end = exec.size();
  for (std::size_t i = 0; i + 1 < exec.size(); ++i) {
    if (exec[i] != '%') continue;
    const char code = exec[i + 1];
    if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
      end = i;
      break;
    }
    ++i;  // "%%" and the other field codes are not where the command ends
  }
  std::string command = exec.substr(0, end);
  while (!command.empty() && (command.back() == ' ' || command.back() == '\t')) command.pop_back();
  return command;
}

std::vector<std::string> SplitExecLine(const std::string& exec) {
  std::vector<std::string> argv;
  std::string arg;
  bool inArg = false;  // a quoted empty argument still counts
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size()) {
        arg += exec[++i];
      } else {
        arg += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inArg) argv.push_back(arg);
      arg.clear();
      inArg = false;
    } else if (c == '"') {
      quoted = true;
      inArg = true;
    } else if (c == '%' && i + 1 < exec.size()) {
      if (exec[++i] == '%') {
        arg += '%';
        inArg = true;
      }
    } else {
      arg += c;
      inArg = true;
    }
  }
  if (inArg) argv.push_back(arg);
  return argv;
}

std::string GetOpenCommand(const std::string& fileName, const XdgFolders& folders) {
  (void)fileName;  // the file is an SPSS system file whatever its name
  for (const auto& [id, exec] : Associations(folders, kSavMimeType)) {
    if (IsOwnEntry(id, exec)) continue;
    const std::string command = ExecUpToFieldCode(exec);
    if (!SplitExecLine(command).empty()) return command;
  }
  return {};
}

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// The default value of a key under HKEY_CLASSES_ROOT; "" when it cannot be read.
std::wstring ClassesDefault(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return {};
  wchar_t buffer[2048];
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  std::wstring value;
  if (RegQueryValueExW(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    buffer[size / sizeof(wchar_t)] = L'\0';
    value = buffer;
  }
  RegCloseKey(handle);
  return value;
}

}  // namespace

std::string GetOpenCommand(const std::string& fileName) {
  const std::wstring ext = fs::path(Wide(fileName)).extension().wstring();
  if (ext.empty()) return {};
  const std::wstring typeName = ClassesDefault(ext);
  if (typeName.empty()) return {};
  std::wstring command = ClassesDefault(typeName + L"\\Shell\\Open\\Command");
  const auto marker = command.find(L"%1");
  if (marker != std::wstring::npos) command.resize(marker);
  return Utf8(command);
}

#else

std::string GetOpenCommand(const std::string& fileName) {
  return GetOpenCommand(fileName, XdgFoldersFromEnvironment());
}

#endif

}  // namespace brindle
