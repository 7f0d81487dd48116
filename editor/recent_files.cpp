#include "editor/recent_files.h"

#include <algorithm>

#include "runtime/settings.h"

namespace editor {
namespace {

constexpr std::size_t MaxRecentBytes = 64 * 1024;

// Not kept is no loss worth a word: the list starts empty next time.
void KeepRecentFiles(const std::vector<std::string>& files) {
    std::string text;
    for (const std::string& f : files) text += f + "\n";
    runtime::KeepSetting("recent", text);
}

// A path the list can hold: absolute, one line, no control characters.
bool Keepable(const std::string& path) {
    return !path.empty() && path[0] == '/' && path.size() < 4096 &&
           std::none_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

void ForgetRecentFile(EditorState& state, const std::string& path) {
    LoadRecentFiles(state);
    auto& files = state.recentFiles;
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    KeepRecentFiles(files);
}

void ClearRecentFiles(EditorState& state) {
    state.recentFiles.clear();
    KeepRecentFiles(state.recentFiles);
}

std::vector<std::string> ParseRecentFiles(const std::string& text) {
    std::vector<std::string> files;
    for (std::size_t at = 0; at < text.size() && files.size() < RecentFilesKept;) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // a line cut short is no path
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (Keepable(line) && std::find(files.begin(), files.end(), line) == files.end()) files.push_back(std::move(line));
    }
    return files;
}

void LoadRecentFiles(EditorState& state) {
    std::string text;
    state.recentFiles = runtime::ReadSetting("recent", text, MaxRecentBytes) ? ParseRecentFiles(text)
                                                                              : std::vector<std::string>{};
}

void RememberRecentFile(EditorState& state, const std::string& path) {
    if (!Keepable(path)) return;
    // Read again first: another window may have kept files since this one read them.
    LoadRecentFiles(state);
    std::vector<std::string>& files = state.recentFiles;
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    if (files.size() > RecentFilesKept) files.resize(RecentFilesKept);
    KeepRecentFiles(files);
}

std::string RecentFileMenuText(const std::vector<std::string>& files, std::size_t index) {
    if (index >= files.size()) return {};
    // "&" would mark the letter Alt takes: one in a name is doubled.
    std::string text = index < 9 ? "&" + std::to_string(index + 1) + "  " : "1&0  ";
    for (const char c : files[index]) text += c == '&' ? std::string("&&") : std::string(1, c);
    return text;
}

}  // namespace editor
