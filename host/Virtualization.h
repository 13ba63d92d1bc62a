#pragma once
// Windows' file virtualization: the writes of an old 32-bit program without
// an execution level in its manifest that the system refuses in a protected
// folder (C:\Windows, C:\Program Files) go to a per-user copy under
// %LOCALAPPDATA%\VirtualStore, and from then on that program reads the copy.
// Windows never does this for a 64-bit program such as the launcher, so the
// launcher finds and writes those copies itself. Wine redirects nothing.

#include <string>
#include <string_view>

namespace host {

// The per-user copy that a redirected program uses in place of the file at
// an absolute Windows path: %LOCALAPPDATA%\VirtualStore + the path without
// its drive ("C:\Windows\tvdorvw.ini" → "…\VirtualStore\Windows\tvdorvw.ini").
// Empty where the system keeps no such copies (POSIX).
std::string VirtualStorePath(std::string_view windowsPath);

// Whether Windows redirects the writes of the program in this image: a
// 32-bit image whose manifest (in its resources or beside it) asks for no
// execution level. False when the image cannot be read or is no program.
bool ImageIsRedirected(std::string_view exePath);
// The same rule over an image's bytes, and the text of a manifest beside it
// (empty when there is none).
bool ImageBytesRedirected(std::string_view image, std::string_view sideManifest);

// Whether the system redirects programs at all: User Account Control on and
// virtualization not switched off by policy. False on POSIX.
bool VirtualizationAllowed();

// Whether this process runs with an administrator's full rights.
bool ProcessElevated();

} // namespace host
