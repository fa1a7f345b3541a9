// The ".cod" configuration file: every persistent setting, the four lists
// and the dictionary of Search and Replace, in INI layout (see inifile.h).
#pragma once

#include <string>

#include "config/settings.h"

namespace vantor {

// Sets `Settings.configFilePath` to `path`, then writes the settings, the
// lists and `dictionary` into the file, keeping what else an existing file
// holds in "General" (keys of another version) and other sections. List
// entries are keys: blanks around them are dropped and entries differing only
// in letter case are stored once; an entry holding "=" is stored cut at it and
// read back whole. False with an error text when the file cannot be read or
// written, or when an entry cannot be stored (a line end in it, a dictionary
// old name holding "=", an entry starting with ";" or "["); the file on disk
// is then left as it was.
bool SaveConfiguration(const std::string& path, const Dictionary& dictionary, std::string* error = nullptr);

// Sets `Settings.configFilePath` to `path`, then reads the file into the
// settings, the lists and `dictionary`; a key that is missing takes its
// missing-key default ("." for the four folders, true for SousRepertoire,
// noInterrog, breakSurCase, monoInstruction and aligner, the platform's line
// end for rtlf, ...), a list section that is missing gives an empty list.
//
// A file that does not exist, or cannot be read, loads as an empty file: every
// setting takes its default and the path still becomes the current
// configuration. The result is then false with an error text, so that a
// caller which needs the file (the command line's "-c") can refuse it.
bool LoadConfiguration(const std::string& path, Dictionary& dictionary, std::string* error = nullptr);

}  // namespace vantor
