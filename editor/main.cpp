#include "editor/editor_window.h"

int main() { return editor::RunEditor(); }
