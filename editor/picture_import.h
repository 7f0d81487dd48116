// Pictures from elsewhere into the page: Import Picture, a dropped picture
// and a pasted one. A picture that is lores already is taken exactly; any
// other is converted as the user chooses in a dialog that shows the page as
// it will be.
#pragma once

#include <string>

#include "editor/editor_state.h"
#include "lores/drawing.h"
#include "runtime/png_decoder.h"

namespace editor {

// File > Import Picture...: a picture file of any type the toolkit reads
// becomes the page (its screen holes kept), one step of the history.
// Nothing changes when the file is refused or the dialog cancelled.
void ImportPicture(EditorState& state);
// The same for the picture at path. For a drop (exactToo false) a file
// that is no picture by its first bytes or name, and a lores picture, are
// left alone (false): they are for Open.
bool ImportPictureFile(EditorState& state, const std::string& path, bool exactToo);

// A pasted picture that is not lores through the dialog: the block at the
// size the paste takes (a cell a pixel, a block, or scaled). False when
// cancelled.
bool ConvertedPaste(EditorState& state, const runtime::DecodedImage& image, lores::Block& block);

}  // namespace editor
