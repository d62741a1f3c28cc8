#pragma once

#include <QString>

// Paths shown to the user, with the home directory folded into "~". Nothing is cached: a change
// of the home directory takes effect at the next call.
namespace quorvelin::pathdisplay {

// The path with forward slashes and the home directory replaced by "~" (only at a separator
// boundary, letter case respected). The empty string stays empty.
QString mask(const QString &path);
// mask(path) in the platform's native separators.
QString forDisplay(const QString &path);

} // namespace quorvelin::pathdisplay
