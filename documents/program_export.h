// Pictures for the people who program the machine: a page (or frames) as
// assembler or C source, and as an Applesoft BASIC program that draws it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "documents/conversions.h"
#include "lores/lores_page.h"

namespace documents {

// PAGE (a page or a file of frames) as source, the kind by OUT's extension:
// .s or .asm for the ca65 assembler (label NAME exported, .byte lines of 16
// values), .c or .h for a C array `const unsigned char NAME[1024]`. Frames
// get NAME_1... and NAME_count. An empty name is the output file's, made a
// valid identifier (a name given that is not one is made one, and said).
ConversionResult ExportPageAsSource(const std::string& pagePath, const std::string& outPath,
                                    const std::string& name = std::string());

// PAGE as an Applesoft program that draws it: a listing (OUT.bas, text as
// typed into the machine), or into a disk image (IMAGE:NAME) tokenized as
// the machine keeps it (DOS 3.3 A file, ProDOS BAS file). Full screen, or
// mixed with the four text lines as the page holds them.
ConversionResult ExportPageAsBasic(const std::string& pagePath, const std::string& outPath, bool mixed);

// The listing: lines "10 GR:...", numbered from 10 by 10, none over 239
// characters; the shortest this program finds (never longer than one HLIN
// or PLOT a run of a colour in a row, colours grouped). plain gives that
// plain program instead, for comparison.
std::string BasicListing(const lores::LoresPage& page, bool mixed, bool plain = false);

// A listing tokenized as Applesoft keeps it in memory from $0801: each line
// its link, its number, its tokens and a zero; two zeros at the end.
std::vector<std::uint8_t> TokenizeApplesoft(const std::string& listing);

// The keyword of a token byte ($80 to $EA), or null.
const char* ApplesoftKeyword(std::uint8_t token);

// The source text itself: ca65 assembler, a C file, or a C header (the
// same with an include guard).
enum class SourceKind { Assembler, C, CHeader };
std::string SourceText(const std::vector<lores::LoresPage>& frames, const std::string& name, SourceKind kind);

// A C and assembler identifier made of text: other characters become '_',
// one starting with a digit or taken by the languages gets a prefix.
std::string Identifier(const std::string& text);

}  // namespace documents
