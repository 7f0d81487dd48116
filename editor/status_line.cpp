#include "editor/status_line.h"

#include "diskimage/disk_image.h"
#include "editor/commands.h"
#include "editor/recovery.h"
#include "editor/zoom.h"
#include "lores/text_glyphs.h"
#include "windowing/windowing.h"

namespace editor {
namespace {

std::string BaseName(const std::string& path) {
    const auto base = [](const std::string& p) {
        const auto slash = p.find_last_of('/');
        return slash == std::string::npos ? p : p.substr(slash + 1);
    };
    // A picture inside a disk image is named with its image: "disk.dsk:PIC".
    diskimage::ImagePath inImage;
    if (diskimage::SplitImagePath(path, inImage)) return base(inImage.image) + ":" + inImage.name;
    return base(path);
}

// The line's text is drawn with the mixed mode's own characters.
void GiveGlyphs() {
    static bool given = false;
    if (given) return;
    given = true;
    std::vector<std::uint8_t> rows;
    for (int c = 0; c < lores::TextGlyphCount; ++c) {
        const lores::Glyph& glyph = lores::GlyphOf(static_cast<char>(0x20 + c));
        rows.insert(rows.end(), glyph.begin(), glyph.end());
    }
    windowing::SetStatusLineGlyphs(0x20, lores::TextGlyphCount, rows.data());
}

}  // namespace

void UpdateStatusLine(EditorState& state) {
    StatusShown now;
    now.valid = true;
    now.cell = state.pointerCell;
    now.colourUnder = OnPage(now.cell) ? lores::PixelAt(state.workingPage(), now.cell.x, now.cell.y) : -1;
    now.currentColour = state.currentColour & 15;
    now.tool = state.currentTool;
    now.secondColour = state.currentTool == Tool::PatternFill ? state.secondColour & 15 : -1;
    now.changed = state.pictureChanged;
    now.mixedView = state.mixedView;
    now.palette = state.palette;
    if (state.recovery) now.recoveryFailure = state.recovery->failure;
    now.mirror = state.mirrorLeftRight || state.mirrorTopBottom;
    // The selection's or the paste's size.
    const Selecting& select = state.select;
    now.floating = select.floating;
    if (select.floating) now.selection = {0, 0, select.pasted.width - 1, select.pasted.height - 1};
    else if (!select.rect.empty()) now.selection = {0, 0, select.rect.width() - 1, select.rect.height() - 1};
    now.notice = state.notice;
    now.frame = state.frames.shown;
    now.frames = state.frames.pages.size();
    now.onion = state.onionSkin;
    now.playing = state.playing ? state.playbackRate : 0;
    // This runs for every event: the name is compared, not copied.
    const bool sameName = state.shown.statusFileName == state.fileName && !state.shown.statusNameText.empty();
    if (now == state.shown.status && sameName) return;
    state.shown.status = now;
    // The name as shown is worked out again only when the file changes (a
    // disk image's path means a look at the image).
    if (!sameName) {
        state.shown.statusFileName = state.fileName;
        state.shown.statusNameText = state.fileName.empty() ? UntitledName : BaseName(state.fileName);
    }

    std::vector<windowing::StatusPart> parts;
    const lores::Palette& palette = state.colours();
    if (OnPage(now.cell)) {
        parts.push_back({"x:" + std::to_string(now.cell.x) + " y:" + std::to_string(now.cell.y)});
        parts.push_back({"under: " + std::to_string(now.colourUnder),
                         static_cast<std::int64_t>(palette[now.colourUnder])});
    } else {
        parts.push_back({"x:- y:-"});
        parts.push_back({"under: -"});
    }
    parts.push_back({"colour: " + std::to_string(now.currentColour),
                     static_cast<std::int64_t>(palette[now.currentColour])});
    if (now.secondColour >= 0)
        parts.push_back({"and: " + std::to_string(now.secondColour), static_cast<std::int64_t>(palette[now.secondColour])});
    parts.push_back({ToolName(now.tool)});
    parts.push_back({state.shown.statusNameText});
    if (now.changed) parts.push_back({UnsavedMark});
    if (now.mixedView) parts.push_back({"mixed"});
    if (!now.selection.empty())
        parts.push_back({std::string(now.floating ? "paste " : "sel ") + std::to_string(now.selection.width()) + "x" +
                         std::to_string(now.selection.height())});
    if (now.mirror) parts.push_back({"mirror"});
    if (now.frames > 1) parts.push_back({"frame " + std::to_string(now.frame + 1) + "/" + std::to_string(now.frames)});
    if (now.playing) parts.push_back({"playing " + std::to_string(now.playing) + "/s"});
    if (now.onion && now.frames > 1) parts.push_back({"onion"});
    if (!now.notice.empty()) parts.push_back({now.notice});
    if (now.palette != 0) parts.push_back({lores::Palettes()[static_cast<std::size_t>(now.palette)].name});
    if (!now.recoveryFailure.empty()) parts.push_back({"not kept for recovery: " + now.recoveryFailure});
    GiveGlyphs();
    windowing::SetStatusLine(WindowNumber, 0, state.statusTop, 640, StatusHeight, std::move(parts));
}

}  // namespace editor
