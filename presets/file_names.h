#pragma once
// Name handling of the preset and bank files chosen in the save dialog.
#include <string>

// `path` with ".<extension>" added unless its file name already ends in it, compared without
// regard to case ("Mix v1.2" becomes "Mix v1.2.orv", "Mix.ORV" stays). Dots elsewhere in the
// name or in folder names do not count as an extension: the load dialog lists only files that
// end in the extension, so a file saved without it could not be loaded again.
std::string withFileExtension(const std::string& path, const std::string& extension);
